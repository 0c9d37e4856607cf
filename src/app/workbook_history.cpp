#include "app/workbook_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <fstream>
#include <system_error>

#include <fmt/format.h>

#include "app/app_error.h"
#include "app/folder_guard.h"
#include "app/host_folder.h"
#include "files/file_error.h"
#include "files/workbook_files.h"
#include "files/xml_parser.h"
#include "files/zip_archive.h"
#include "form/form_routines.h"
#include "host/errors.h"

namespace fenban::app {

namespace fs = std::filesystem;

namespace {

constexpr const char* kRecordExtension = ".txt";

// The file a workbook path really is: through a link when it is one.
fs::path RealFileOf(const fs::path& workbook) {
  std::error_code ec;
  if (!fs::is_symlink(workbook, ec)) return workbook;
  fs::path real = fs::weakly_canonical(workbook, ec);
  return ec ? workbook : real;
}

std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return fmt::format("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}", local.tm_year + 1900, local.tm_mon + 1,
                     local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

class SheetNamesHandler : public files::XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    if (name != "sheet") return;
    if (const char* sheetName = files::FindAttr(attrs, "name")) names.emplace_back(sheetName);
  }
  void End(std::string_view) override {}
  std::vector<std::string> names;
};

// The sheet names in a workbook package, read from its workbook part alone;
// empty when the file is no package that says.
std::vector<std::string> SheetNamesOf(const fs::path& path) {
  try {
    const files::ZipArchive zip = files::ZipArchive::OpenFile(path.string());
    const std::string part = zip.StoredName("xl/workbook.xml");
    if (part.empty()) return {};
    SheetNamesHandler handler;
    files::ParseXmlEntry(zip, part, handler);
    return handler.names;
  } catch (const std::exception&) {
    return {};
  }
}

// The number a version's file or record is named by ("7.xlsx" → 7), or 0.
int32_t NumberOfName(const std::string& name) {
  int32_t number = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (error != std::errc() || number <= 0 || end == name.data() + name.size() || *end != '.') return 0;
  return number;
}

// Flushes a file to the disk; a write the disk could not take fails here.
void SyncFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category());
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;  // EINVAL: a file system without fsync
  const int error = errno;
  ::close(fd);
  if (!synced) throw std::system_error(error, std::generic_category());
}

void CopyBytes(const fs::path& from, const fs::path& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  SyncFile(to);
}

// Puts the bytes of `from` at `to` (an empty file of ours) for a version
// kept just before `from` is replaced by a rename: as a second name of the
// same file when `from` has no other name, since the rename leaves that file
// to the version alone; as a copy otherwise, or where the file system has
// no second names.
void KeepBytes(const fs::path& from, const fs::path& to) {
  struct stat info {};
  if (::stat(from.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1) {
    // Made beside `to` under a name that begins as its own, so that a run
    // stopped in between leaves only a temporary file of ours.
    const fs::path link = to.string() + ".link";
    if (::link(from.c_str(), link.c_str()) == 0) {
      if (::rename(link.c_str(), to.c_str()) == 0) return;
      ::unlink(link.c_str());
    }
  }
  CopyBytes(from, to);
}

void WriteRecord(const fs::path& path, const std::string& command, const std::vector<std::string>& sheets) {
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << LocalTimeNow() << '\n' << command << '\n';
    for (const std::string& sheet : sheets) file << sheet << '\n';
    file.flush();
    if (!file) throw std::system_error(EIO, std::generic_category());
  }
  SyncFile(path);
}

std::optional<WorkbookVersion> ReadRecord(const fs::path& record, const fs::path& file, int32_t number) {
  std::ifstream in(record, std::ios::binary);
  WorkbookVersion version;
  if (!in || !std::getline(in, version.time) || !std::getline(in, version.command)) return std::nullopt;
  for (std::string sheet; std::getline(in, sheet);) {
    if (!sheet.empty()) version.sheets.push_back(sheet);
  }
  version.number = number;
  version.file = file;
  return version;
}

bool SameBytes(const fs::path& one, const fs::path& two) {
  std::error_code ec;
  const auto size = fs::file_size(one, ec);
  if (ec || size != fs::file_size(two, ec) || ec) return false;
  std::ifstream a(one, std::ios::binary), b(two, std::ios::binary);
  std::vector<char> bufferA(1 << 16), bufferB(1 << 16);
  while (a && b) {
    a.read(bufferA.data(), static_cast<std::streamsize>(bufferA.size()));
    b.read(bufferB.data(), static_cast<std::streamsize>(bufferB.size()));
    if (a.gcount() != b.gcount() || !std::equal(bufferA.begin(), bufferA.begin() + a.gcount(), bufferB.begin())) {
      return false;
    }
  }
  return a.eof() && b.eof();
}

void RemoveVersion(const WorkbookVersion& version) {
  std::error_code ec;
  fs::remove(version.file, ec);
  fs::path record = version.file;
  fs::remove(record.replace_extension(kRecordExtension), ec);
}

[[noreturn]] void FailToKeep(const fs::path& workbook, const std::string& why) {
  throw AppError(fmt::format(
      "无法保留“{}”原来的文件，没有保存任何文件 (cannot keep the previous file as a version; nothing was saved): {}",
      workbook.filename().string(), why));
}

// The versions taken around one save. Take copies each workbook file that
// exists into its history folder under a temporary name, which a stopped run
// removes; Keep, called with the signals held right before the files are
// replaced, gives the copies their numbers; after a save that failed,
// Withdraw removes each kept version whose workbook is still as it was;
// after a save that succeeded, Finish drops the oldest versions beyond
// kMaxVersions. Copies not kept are removed with the object.
class VersionKeeper {
 public:
  // `command` is recorded with the version: what replaced the file.
  void Take(const fs::path& workbook, const std::string& command);
  void Keep();
  void Withdraw();
  void Finish();
  const std::vector<KeptVersion>& Kept() const { return kept_; }

 private:
  struct Taken {
    fs::path workbook;
    fs::path folder;
    files::TemporaryFile copy;
    files::TemporaryFile record;
    std::string extension;
  };
  std::vector<Taken> taken_;
  std::vector<KeptVersion> kept_;
};

// The file a save replaces, by the path the workbook was read from when
// that is a link to it, so that messages name the workbook as the teacher
// knows it.
fs::path PathAsNamed(const files::PreparedSave& save) {
  const std::string& origin = save.book->FileOrigin().fullPath;
  std::error_code ec;
  if (!origin.empty() && fs::equivalent(origin, save.target, ec)) return origin;
  return save.target;
}

}  // namespace

fs::path HistoryFolderOf(const fs::path& workbook) {
  const fs::path real = RealFileOf(workbook);
  return real.parent_path() / kHistoryFolderName / real.filename();
}

std::vector<WorkbookVersion> ListVersions(const fs::path& workbook) {
  const fs::path folder = HistoryFolderOf(workbook);
  std::vector<WorkbookVersion> versions;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& file = it->path();
    const int32_t number = NumberOfName(file.filename().string());
    if (number == 0 || file.extension() == kRecordExtension) continue;
    fs::path record = file;
    record.replace_extension(kRecordExtension);
    if (std::optional<WorkbookVersion> version = ReadRecord(record, file, number)) versions.push_back(*version);
  }
  std::sort(versions.begin(), versions.end(),
            [](const WorkbookVersion& a, const WorkbookVersion& b) { return a.number < b.number; });
  return versions;
}

bool SameAsCurrent(const WorkbookVersion& version, const fs::path& workbook) {
  return SameBytes(version.file, workbook);
}

std::optional<fs::path> NamedWorkbook(const fs::path& hostFolder, const std::string& book) {
  const fs::path named(book);
  if (book.empty() || named.filename().empty()) return std::nullopt;
  const fs::path parent = named.parent_path();
  if (book == kHostBookName) return hostFolder / kHostBookName;
  if (!parent.empty() && parent != form::kDataFolderName) return std::nullopt;
  const std::string name = named.filename().string();
  if (name.front() == '.' || name == "..") return std::nullopt;
  const fs::path path = hostFolder / form::kDataFolderName / name;
  std::error_code ec;
  if (fs::is_regular_file(path, ec) || !ListVersions(path).empty()) return path;
  return std::nullopt;
}

void VersionKeeper::Take(const fs::path& workbook, const std::string& command) {
  std::error_code ec;
  if (!fs::is_regular_file(workbook, ec)) return;  // a new file: nothing to keep
  const fs::path real = RealFileOf(workbook);
  const fs::path folder = HistoryFolderOf(workbook);
  try {
    fs::create_directories(folder);
    files::RemoveStaleTemporaries(folder.string());
    files::TemporaryFile copy(folder.string(), 0);
    KeepBytes(real, copy.Path());
    files::TemporaryFile record(folder.string(), 0);
    WriteRecord(record.Path(), command, SheetNamesOf(real));
    taken_.push_back(Taken{workbook, folder, std::move(copy), std::move(record), real.extension().string()});
  } catch (const std::exception& error) {
    FailToKeep(workbook, error.what());
  }
}

void VersionKeeper::Keep() {
  for (Taken& taken : taken_) {
    const std::vector<WorkbookVersion> versions = ListVersions(taken.workbook);
    const int32_t number = versions.empty() ? 1 : versions.back().number + 1;
    const fs::path file = taken.folder / (std::to_string(number) + taken.extension);
    const fs::path record = taken.folder / (std::to_string(number) + kRecordExtension);
    try {
      taken.copy.RenameOver(file.string());
      taken.record.RenameOver(record.string());
    } catch (const std::exception& error) {
      std::error_code ec;
      fs::remove(file, ec);
      FailToKeep(taken.workbook, error.what());
    }
    kept_.push_back(KeptVersion{taken.workbook, number});
  }
  taken_.clear();
}

void VersionKeeper::Withdraw() {
  std::vector<KeptVersion> still;
  for (const KeptVersion& kept : kept_) {
    for (const WorkbookVersion& version : ListVersions(kept.workbook)) {
      if (version.number != kept.number) continue;
      if (SameAsCurrent(version, RealFileOf(kept.workbook))) {
        RemoveVersion(version);
      } else {
        still.push_back(kept);
      }
    }
  }
  kept_ = std::move(still);
}

void VersionKeeper::Finish() {
  for (const KeptVersion& kept : kept_) {
    std::vector<WorkbookVersion> versions = ListVersions(kept.workbook);
    for (size_t i = 0; i + kMaxVersions < versions.size(); ++i) RemoveVersion(versions[i]);
  }
}

std::vector<files::SaveResult> CommitKeepingVersions(std::vector<files::PreparedSave>& prepared,
                                                     const std::string& journal, const std::string& command,
                                                     std::vector<KeptVersion>& kept) {
  VersionKeeper versions;
  for (const files::PreparedSave& save : prepared) versions.Take(PathAsNamed(save), command);
  std::vector<files::SaveResult> saved;
  std::optional<std::string> failure;
  {
    const files::SignalsHeld held;
    try {
      versions.Keep();
      saved = files::CommitSaves(prepared, journal);
    } catch (const host::RuntimeError& error) {
      versions.Withdraw();
      failure = error.Description();
    } catch (const AppError& error) {
      versions.Withdraw();
      failure = error.what();
    }
  }
  kept = versions.Kept();
  if (failure) throw AppError(*failure, ErrorKind::SaveFailed);
  versions.Finish();
  return saved;
}

namespace {

// Keeps the workbook's file as a version, then takes the step that changes
// the file; a step that fails takes the version back.
template <class F>
KeptVersion KeepThen(const fs::path& workbook, const std::string& command, F&& step) {
  RefuseOpenWorkbooks({workbook});
  VersionKeeper keeper;
  keeper.Take(workbook, command);
  try {
    const files::SignalsHeld held;
    try {
      keeper.Keep();
      step();
    } catch (...) {
      keeper.Withdraw();
      throw;
    }
  } catch (const files::FormatError& error) {
    throw AppError(fmt::format("无法改动“{}”，文件保持原样 (the file is as it was): {}", workbook.filename().string(),
                               error.what()));
  } catch (const fs::filesystem_error& error) {
    throw AppError(fmt::format("无法改动“{}”，文件保持原样 (the file is as it was): {}", workbook.filename().string(),
                               error.code().message()));
  }
  keeper.Finish();
  if (keeper.Kept().empty()) throw AppError(fmt::format("没有 “{}” (no such file)", workbook.filename().string()));
  return keeper.Kept().front();
}

}  // namespace

KeptVersion ReplaceKeepingVersion(const fs::path& workbook, files::TemporaryFile& incoming, const std::string& command) {
  return KeepThen(workbook, command, [&] { incoming.RenameOver(RealFileOf(workbook).string()); });
}

KeptVersion RemoveKeepingVersion(const fs::path& workbook, const std::string& command) {
  return KeepThen(workbook, command, [&] { fs::remove(workbook); });
}

RestoreResult RestoreVersion(const fs::path& workbook, std::optional<int32_t> number, const std::string& command) {
  const std::vector<WorkbookVersion> versions = ListVersions(workbook);
  const std::string name = workbook.filename().string();
  if (versions.empty()) throw AppError(fmt::format("“{}” 没有旧版本 (no versions kept)", name));
  auto chosen = number ? std::find_if(versions.begin(), versions.end(),
                                      [&](const WorkbookVersion& version) { return version.number == *number; })
                       : versions.end() - 1;
  if (chosen == versions.end()) {
    std::string numbers;
    for (const WorkbookVersion& version : versions) numbers += (numbers.empty() ? "" : ", ") + std::to_string(version.number);
    throw AppError(fmt::format("“{}” 没有版本 {} (no such version)。现有版本 versions: {}", name, *number, numbers));
  }
  RefuseOpenWorkbooks({workbook});
  const fs::path real = RealFileOf(workbook);
  if (SameAsCurrent(*chosen, real)) return RestoreResult{*chosen, std::nullopt, true};
  std::error_code ec;
  const fs::perms mode = fs::status(real, ec).permissions();
  try {
    files::TemporaryFile temporary(real.parent_path().string(),
                                   ec ? 0 : static_cast<unsigned>(mode) & 07777);
    CopyBytes(chosen->file, temporary.Path());
    files::ReadWorkbook(temporary.Path());  // it must still read as a workbook
    RestoreResult result{*chosen, std::nullopt, false};
    VersionKeeper keeper;
    keeper.Take(workbook, fmt::format("{} {}", command, chosen->number));
    {
      const files::SignalsHeld held;
      try {
        keeper.Keep();
        temporary.RenameOver(real.string());
      } catch (...) {
        keeper.Withdraw();
        throw;
      }
    }
    keeper.Finish();
    if (!keeper.Kept().empty()) result.keptAs = keeper.Kept().front().number;
    return result;
  } catch (const host::RuntimeError& error) {
    throw AppError(fmt::format("版本 {} 不能读，没有恢复 (version {} cannot be read; nothing was restored): {}",
                               chosen->number, chosen->number, error.Description()));
  } catch (const files::FormatError& error) {
    throw AppError(fmt::format("无法恢复“{}”，文件保持原样 (cannot restore; the file is as it was): {}", name,
                               error.what()));
  } catch (const fs::filesystem_error& error) {
    throw AppError(fmt::format("无法恢复“{}”，文件保持原样 (cannot restore; the file is as it was): {}", name,
                               error.code().message()));
  }
}

}  // namespace fenban::app
