// What a page's view was read from: a fingerprint of each workbook file
// (size, modification time and a hash of the bytes), so that a command can
// tell whether another program changed the file since.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace fenban::web {

struct FileVersion {
  bool exists = false;
  uint64_t size = 0;
  int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
  uint64_t hash = 0;       // FNV-1a over the bytes

  // "size-time-hash", or "none" for a missing file; what the page carries.
  std::string Text() const;
  bool operator==(const FileVersion& other) const = default;
};

// The version of the file as it is now; a missing or unreadable file gives
// a version with exists == false.
FileVersion VersionOf(const std::filesystem::path& file);

}  // namespace fenban::web
