#include "web/workbook_cache.h"

#include <system_error>

#include "files/workbook_files.h"

namespace fenban::web {

namespace fs = std::filesystem;

namespace {

// One name for a file however it is reached (through a link, "..", "./").
std::string KeyOf(const fs::path& file) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(file, ec);
  return (ec ? file.lexically_normal() : canonical).string();
}

}  // namespace

host::ModelWorkbook& WorkbookCache::Current(const fs::path& file) {
  const std::string key = KeyOf(file);
  // Taken before reading: a file replaced while it is read shows as changed next time.
  const FileVersion version = VersionOf(file);
  auto found = entries_.find(key);
  if (found != entries_.end() && found->second.book && found->second.version == version) return *found->second.book;
  entries_.erase(key);
  ++reads_;
  // The path as given: the workbook's name and folder are those of the file as the caller named it.
  std::unique_ptr<host::ModelWorkbook> book = files::ReadWorkbook(file.string());
  Entry& entry = entries_[key];
  entry.version = version;
  entry.book = std::move(book);
  return *entry.book;
}

std::unique_ptr<host::ModelWorkbook> WorkbookCache::Copy(const fs::path& file) { return Current(file).Clone(); }

void WorkbookCache::Keep(const fs::path& file, const FileVersion& version, std::unique_ptr<host::ModelWorkbook> book) {
  if (!version.exists || !book) return;
  Entry& entry = entries_[KeyOf(file)];
  entry.version = version;
  entry.book = std::move(book);
}

}  // namespace fenban::web
