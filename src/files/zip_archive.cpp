#include "files/zip_archive.h"

#include <zip.h>

#include <thread>
#include <utility>

#include "files/chunk_pipe.h"
#include "files/file_error.h"
#include "files/zip_inflater.h"

namespace fenban::files {

namespace {

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& ch : lower) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return lower;
}

[[noreturn]] void ThrowOpenError(int code) {
  switch (code) {
    case ZIP_ER_NOZIP:
    case ZIP_ER_INCONS:
    case ZIP_ER_EOF:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_CRC:
    case ZIP_ER_MULTIDISK:
      throw FormatError(kTextDamaged);
    case ZIP_ER_MEMORY:
      throw FormatError(kTextTooLarge);
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
      throw FormatError(kTextEncrypted);
    case ZIP_ER_OPEN:
    case ZIP_ER_NOENT:
      throw FormatError("文件无法打开 (the file cannot be opened)");
    default:
      throw FormatError(std::string(kTextDamaged) + " [zip " + std::to_string(code) + "]");
  }
}

struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

// An entry's bytes as they are inflated: by igzip when it is deflated (and
// not empty), else by libzip.
class ZipArchive::EntryReader {
 public:
  EntryReader(struct zip* archive, uint64_t index, const std::string& part) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    const bool known = zip_stat_index(archive, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_COMP_METHOD) != 0 &&
                       (stat.valid & ZIP_STAT_CRC) != 0 && (stat.valid & ZIP_STAT_SIZE) != 0 &&
                       (stat.valid & ZIP_STAT_COMP_SIZE) != 0;
    if (known && stat.comp_method == ZIP_CM_DEFLATE && stat.comp_size > 0) {
      inflater_ = std::make_unique<ZipInflater>(archive, index, stat.size, stat.crc, part);
      return;
    }
    file_.reset(zip_fopen_index(archive, index, 0));
    if (!file_) {
      const int code = zip_error_code_zip(zip_get_error(archive));
      if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_WRONGPASSWD) {
        throw FormatError(kTextEncrypted);
      }
      throw FormatError(std::string(kTextDamaged) + "：" + part);
    }
  }
  // Like zip_fread: the bytes read, 0 at the end, -1 on damage.
  int64_t Read(char* out, size_t size) {
    if (inflater_) return static_cast<int64_t>(inflater_->Read(out, size));
    return zip_fread(file_.get(), out, size);
  }

 private:
  std::unique_ptr<ZipInflater> inflater_;
  std::unique_ptr<zip_file_t, ZipFileCloser> file_;
};

ZipArchive::ZipArchive(struct zip* archive) : archive_(archive) {}

ZipArchive::ZipArchive(ZipArchive&& other) noexcept
    : archive_(std::exchange(other.archive_, nullptr)),
      names_(std::move(other.names_)),
      sizes_(std::move(other.sizes_)),
      inflated_(other.inflated_),
      byLowerName_(std::move(other.byLowerName_)) {}

ZipArchive& ZipArchive::operator=(ZipArchive&& other) noexcept {
  if (this != &other) {
    if (archive_ != nullptr) zip_discard(archive_);
    archive_ = std::exchange(other.archive_, nullptr);
    names_ = std::move(other.names_);
    sizes_ = std::move(other.sizes_);
    inflated_ = other.inflated_;
    byLowerName_ = std::move(other.byLowerName_);
  }
  return *this;
}

ZipArchive::~ZipArchive() {
  if (archive_ != nullptr) zip_discard(archive_);
}

ZipArchive ZipArchive::OpenFile(const std::string& path) {
  int code = 0;
  struct zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (archive == nullptr) ThrowOpenError(code);
  ZipArchive result(archive);
  result.Index();
  return result;
}

ZipArchive ZipArchive::OpenMemory(const void* data, size_t size) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(data, size, 0, &error);
  if (source == nullptr) {
    zip_error_fini(&error);
    throw FormatError(kTextTooLarge);
  }
  struct zip* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (archive == nullptr) {
    const int code = zip_error_code_zip(&error);
    zip_source_free(source);
    zip_error_fini(&error);
    ThrowOpenError(code);
  }
  zip_error_fini(&error);
  ZipArchive result(archive);
  result.Index();
  return result;
}

void ZipArchive::Index() {
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  if (count < 0) throw FormatError(kTextDamaged);
  uint64_t total = 0;
  names_.reserve(static_cast<size_t>(count));
  sizes_.reserve(static_cast<size_t>(count));
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &stat) != 0) throw FormatError(kTextDamaged);
    if ((stat.valid & ZIP_STAT_NAME) == 0 || stat.name == nullptr) throw FormatError(kTextDamaged);
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
      throw FormatError(kTextEncrypted);
    }
    const uint64_t size = (stat.valid & ZIP_STAT_SIZE) != 0 ? stat.size : 0;
    const uint64_t packed = (stat.valid & ZIP_STAT_COMP_SIZE) != 0 ? stat.comp_size : size;
    if (size > packed * kMaxRatio + 65536) throw FormatError(std::string(kTextTooLarge) + "：" + stat.name);
    if (size > kMaxTotalSize || total + size > kMaxTotalSize) {
      throw FormatError("工作簿解压后超过 " + std::to_string(kMaxTotalSize >> 20) +
                        " MB，不能读取 (the workbook expands to more than " + std::to_string(kMaxTotalSize >> 20) +
                        " MB)");
    }
    total += size;
    names_.emplace_back(stat.name);
    sizes_.push_back(size);
    byLowerName_.emplace(AsciiLower(stat.name), static_cast<size_t>(i));
  }
}

int64_t ZipArchive::Find(std::string_view name) const {
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  const auto it = byLowerName_.find(AsciiLower(name));
  return it == byLowerName_.end() ? -1 : static_cast<int64_t>(it->second);
}

bool ZipArchive::Has(std::string_view name) const { return Find(name) >= 0; }

uint64_t ZipArchive::SizeOf(std::string_view name) const {
  const int64_t index = Find(name);
  return index < 0 ? 0 : sizes_[static_cast<size_t>(index)];
}

std::string ZipArchive::StoredName(std::string_view name) const {
  const int64_t index = Find(name);
  return index < 0 ? std::string() : names_[static_cast<size_t>(index)];
}

void ZipArchive::Stream(std::string_view name, const std::function<void(const char*, size_t)>& sink) const {
  const int64_t index = Find(name);
  if (index < 0) throw FormatError("缺少部件 " + std::string(name) + " (missing part)");
  const std::string part(name);
  EntryReader reader(archive_, static_cast<uint64_t>(index), part);
  const uint64_t declared = sizes_[static_cast<size_t>(index)];
  if (declared >= kPipelinedSize && std::thread::hardware_concurrency() >= 2) {
    StreamPipelined(reader, declared, part, sink);
    return;
  }
  uint64_t done = 0;
  std::vector<char> buffer(size_t{1} << 16);
  for (;;) {
    const size_t got = ReadChunk(reader, buffer, declared, done, part);
    if (got == 0) break;
    sink(buffer.data(), got);
  }
}

size_t ZipArchive::ReadChunk(EntryReader& reader, std::vector<char>& buffer, uint64_t declared, uint64_t& done,
                             const std::string& part) const {
  const int64_t got = reader.Read(buffer.data(), buffer.size());
  if (got < 0) throw FormatError(std::string(kTextDamaged) + "：" + part);
  if (got == 0) {
    if (done != declared) throw FormatError(std::string(kTextDamaged) + "：" + part);
    return 0;
  }
  done += static_cast<uint64_t>(got);
  inflated_ += static_cast<uint64_t>(got);
  if (done > declared) throw FormatError(std::string(kTextDamaged) + "：" + part);
  if (inflated_ > kMaxInflated) throw FormatError(kTextTooLarge);
  return static_cast<size_t>(got);
}

void ZipArchive::StreamPipelined(EntryReader& reader, uint64_t declared, const std::string& part,
                                 const std::function<void(const char*, size_t)>& sink) const {
  // The archive is used by the inflating thread alone until it is joined;
  // the sink only parses.
  ChunkPipe pipe(4);
  std::thread inflater([&] {
    try {
      uint64_t done = 0;
      for (;;) {
        std::vector<char> buffer = pipe.Spare();
        buffer.resize(kPipelinedChunk);
        const size_t got = ReadChunk(reader, buffer, declared, done, part);
        if (got == 0) break;
        buffer.resize(got);
        if (!pipe.Put(std::move(buffer))) return;
      }
      pipe.Finish();
    } catch (...) {
      pipe.Finish(std::current_exception());
    }
  });
  try {
    std::vector<char> chunk;
    while (pipe.Take(chunk)) {
      sink(chunk.data(), chunk.size());
      pipe.Recycle(std::move(chunk));
    }
  } catch (...) {
    pipe.Stop();
    inflater.join();
    throw;
  }
  inflater.join();
}

std::string ZipArchive::Read(std::string_view name, uint64_t limit) const {
  const int64_t index = Find(name);
  if (index < 0) throw FormatError("缺少部件 " + std::string(name) + " (missing part)");
  if (sizes_[static_cast<size_t>(index)] > limit) throw FormatError(std::string(kTextTooLarge) + "：" + std::string(name));
  std::string text;
  text.reserve(static_cast<size_t>(sizes_[static_cast<size_t>(index)]));
  Stream(name, [&text](const char* data, size_t size) { text.append(data, size); });
  return text;
}

}  // namespace fenban::files
