#include "web/file_version.h"

#include <sys/stat.h>

#include <fstream>
#include <vector>

#include <fmt/format.h>

namespace fenban::web {

std::string FileVersion::Text() const {
  if (!exists) return "none";
  return fmt::format("{}-{}-{:016x}", size, modifiedNs, hash);
}

FileVersion VersionOf(const std::filesystem::path& file) {
  FileVersion version;
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return version;
  std::ifstream in(file, std::ios::binary);
  if (!in) return version;
  uint64_t hash = 14695981039346656037ull;
  uint64_t size = 0;
  std::vector<char> buffer(size_t{1} << 16);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    const auto got = static_cast<size_t>(in.gcount());
    for (size_t i = 0; i < got; ++i) {
      hash ^= static_cast<unsigned char>(buffer[i]);
      hash *= 1099511628211ull;
    }
    size += got;
  }
  version.exists = true;
  version.size = size;
  version.modifiedNs = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  version.hash = hash;
  return version;
}

}  // namespace fenban::web
