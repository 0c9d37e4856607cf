#include "files/zip_writer.h"

#include "files/vector_state.h"

#include <fcntl.h>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/file_error.h"

namespace fenban::files {

namespace {

constexpr size_t kBufferSize = size_t{1} << 18;
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kVersionNeeded = 20;           // deflate
constexpr uint16_t kVersionMadeBy = (3 << 8) | 20;  // Unix, so the permissions below count
constexpr uint32_t kFilePermissions = 0100644u << 16;
constexpr uint16_t kDosDate = (1 << 5) | 1;        // 1980-01-01, as libxlsxwriter dates its parts
constexpr uint16_t kDeflated = 8;

const uint32_t kLevelBufferSizes[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT, ISAL_DEF_LVL2_DEFAULT,
                                      ISAL_DEF_LVL3_DEFAULT};

void Put16(std::vector<uint8_t>& out, uint64_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint64_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, (value >> 16) & 0xFFFF);
}

}  // namespace

ZipWriter::ZipWriter(const std::string& path)
    : path_(path), packed_(kBufferSize), levelBuffer_(kLevelBufferSizes[kLevel]), stream_(new isal_zstream) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) Fail(errno);
  out_.reserve(kBufferSize);
}

ZipWriter::~ZipWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void ZipWriter::Fail(int error) {
  if (error == ENOSPC || error == EDQUOT) throw FormatError(kTextDiskFull);
  throw FormatError(std::string("无法写入文件 (cannot write the file): ") + std::strerror(error));
}

void ZipWriter::Put(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  out_.insert(out_.end(), bytes, bytes + size);
  offset_ += size;
  if (out_.size() >= kBufferSize) Flush();
}

void ZipWriter::Flush() {
  size_t done = 0;
  while (done < out_.size()) {
    const ssize_t n = ::write(fd_, out_.data() + done, out_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
  }
  out_.clear();
}

void ZipWriter::PutLocalHeader(const Entry& entry) {
  std::vector<uint8_t> header;
  Put32(header, 0x04034b50);
  Put16(header, kVersionNeeded);
  Put16(header, 0);  // flags
  Put16(header, kDeflated);
  Put16(header, 0);  // time
  Put16(header, kDosDate);
  Put32(header, entry.crc);
  Put32(header, entry.packed);
  Put32(header, entry.size);
  Put16(header, entry.name.size());
  Put16(header, 0);  // extra field
  Put(header.data(), header.size());
  Put(entry.name.data(), entry.name.size());
}

void ZipWriter::ReplaceEntry(std::string name, std::function<DeflatedEntry()> take) {
  replacedName_ = std::move(name);
  replacement_ = std::move(take);
}

void ZipWriter::EditEntry(std::string name, Edit edit) { edits_.emplace_back(std::move(name), std::move(edit)); }

void ZipWriter::StartEntry(const std::string& name) {
  if (open_) FinishEntry();
  if (name.size() > 0xFFFF) throw FormatError("部件名称过长 (part name too long): " + name);
  Entry entry;
  entry.name = name;
  entry.offset = offset_;
  if (replacement_ && name == replacedName_) {
    entry.replaced = true;
    entries_.push_back(entry);
    open_ = dropping_ = true;
    return;
  }
  entries_.push_back(entry);
  edit_ = nullptr;
  for (const auto& [edited, edit] : edits_) {
    if (edited == name) edit_ = &edit;
  }
  // The CRC and sizes are filled in when the entry is finished.
  PutLocalHeader(entry);
  isal_deflate_init(stream_.get());
  stream_->level = kLevel;
  stream_->level_buf = levelBuffer_.data();
  stream_->level_buf_size = static_cast<uint32_t>(levelBuffer_.size());
  open_ = true;
}

void ZipWriter::Write(const void* data, size_t size) {
  if (!open_) throw FormatError("写入失败 (cannot write: no entry)");
  if (dropping_) return;
  if (edit_ != nullptr) {
    held_.append(static_cast<const char*>(data), size);
    return;
  }
  Take(data, size);
}

void ZipWriter::Take(const void* data, size_t size) {
  Entry& entry = entries_.back();
  entry.crc = crc32_gzip_refl(entry.crc, static_cast<const unsigned char*>(data), size);
  entry.size += size;
  Deflate(static_cast<const uint8_t*>(data), size, false);
}

void ZipWriter::Deflate(const uint8_t* data, size_t size, bool last) {
  isal_zstream& stream = *stream_;
  stream.next_in = const_cast<uint8_t*>(data);
  stream.avail_in = static_cast<uint32_t>(size);
  stream.end_of_stream = last ? 1 : 0;
  stream.flush = NO_FLUSH;
  for (;;) {
    stream.next_out = packed_.data();
    stream.avail_out = static_cast<uint32_t>(packed_.size());
    if (isal_deflate(&stream) != COMP_OK) throw FormatError("压缩失败 (cannot deflate)");
    const size_t produced = packed_.size() - stream.avail_out;
    Put(packed_.data(), produced);
    entries_.back().packed += produced;
    const bool more = last ? stream.internal_state.state != ZSTATE_END : stream.avail_in > 0 || stream.avail_out == 0;
    if (!more) break;
  }
  ClearUpperVectorState();
}

void ZipWriter::FinishEntry() {
  if (!open_) return;
  if (dropping_) {
    open_ = dropping_ = false;
    return;
  }
  if (edit_ != nullptr) {
    const std::string text = (*edit_)(std::move(held_));
    held_.clear();
    edit_ = nullptr;
    Take(text.data(), text.size());
  }
  Deflate(nullptr, 0, true);
  open_ = false;
  Entry& entry = entries_.back();
  if (entry.size > kMax32 || entry.packed > kMax32 || offset_ > kMax32) {
    throw FormatError("工作簿超过 4 GB，无法写入 (the workbook exceeds 4 GB)");
  }
  std::vector<uint8_t> fields;
  Put32(fields, entry.crc);
  Put32(fields, entry.packed);
  Put32(fields, entry.size);
  const uint64_t at = entry.offset + 14;
  if (at >= offset_ - out_.size()) {
    std::memcpy(out_.data() + (at - (offset_ - out_.size())), fields.data(), fields.size());
    return;
  }
  Flush();
  if (::pwrite(fd_, fields.data(), fields.size(), static_cast<off_t>(at)) != static_cast<ssize_t>(fields.size())) {
    Fail(errno != 0 ? errno : EIO);
  }
}

// Stores the replaced entry's deflated data after the entries written so far.
void ZipWriter::PutReplacement() {
  Entry* entry = nullptr;
  for (Entry& candidate : entries_) {
    if (candidate.replaced) entry = &candidate;
  }
  if (entry == nullptr) throw FormatError("缺少部件 " + replacedName_ + " (missing part)");
  const DeflatedEntry data = replacement_();
  if (data.size > kMax32 || data.packed > kMax32 || offset_ + data.packed > kMax32) {
    throw FormatError("工作簿超过 4 GB，无法写入 (the workbook exceeds 4 GB)");
  }
  entry->offset = offset_;
  entry->crc = data.crc;
  entry->size = data.size;
  entry->packed = data.packed;
  PutLocalHeader(*entry);
  uint64_t copied = 0;
  data.copy([this, &copied](const void* bytes, size_t size) {
    Put(bytes, size);
    copied += size;
  });
  if (copied != data.packed) throw FormatError("无法复制部件 " + entry->name + " (cannot copy part)");
}

void ZipWriter::Close() {
  FinishEntry();
  if (replacement_) PutReplacement();
  const uint64_t directory = offset_;
  for (const Entry& entry : entries_) {
    std::vector<uint8_t> record;
    Put32(record, 0x02014b50);
    Put16(record, kVersionMadeBy);
    Put16(record, kVersionNeeded);
    Put16(record, 0);  // flags
    Put16(record, kDeflated);
    Put16(record, 0);  // time
    Put16(record, kDosDate);
    Put32(record, entry.crc);
    Put32(record, entry.packed);
    Put32(record, entry.size);
    Put16(record, entry.name.size());
    Put16(record, 0);  // extra field
    Put16(record, 0);  // comment
    Put16(record, 0);  // disk
    Put16(record, 0);  // internal attributes
    Put32(record, kFilePermissions);
    Put32(record, entry.offset);
    Put(record.data(), record.size());
    Put(entry.name.data(), entry.name.size());
  }
  const uint64_t directorySize = offset_ - directory;
  if (entries_.size() > 0xFFFF || offset_ > kMax32) throw FormatError("工作簿超过 4 GB，无法写入 (the workbook exceeds 4 GB)");
  std::vector<uint8_t> end;
  Put32(end, 0x06054b50);
  Put16(end, 0);  // this disk
  Put16(end, 0);  // the directory's disk
  Put16(end, entries_.size());
  Put16(end, entries_.size());
  Put32(end, directorySize);
  Put32(end, directory);
  Put16(end, 0);  // comment
  Put(end.data(), end.size());
  Flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail(errno);
}

}  // namespace fenban::files
