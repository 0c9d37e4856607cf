// The parts of a workbook file, read whole for the benchmarks that
// deflate them.
#pragma once

#include <zip.h>

#include <cstdio>
#include <string>
#include <vector>

namespace fenban::bench {

// The uncompressed parts of a zip file, in entry order.
inline bool ReadParts(const char* path, std::vector<std::string>& parts) {
  int error = 0;
  zip_t* archive = zip_open(path, ZIP_RDONLY, &error);
  if (archive == nullptr) {
    std::fprintf(stderr, "cannot open %s (libzip error %d)\n", path, error);
    return false;
  }
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0) continue;
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    if (file == nullptr) continue;
    std::string data(static_cast<size_t>(stat.size), '\0');
    const zip_int64_t read = zip_fread(file, data.data(), stat.size);
    zip_fclose(file);
    if (read < 0) {
      zip_close(archive);
      return false;
    }
    data.resize(static_cast<size_t>(read));
    parts.push_back(std::move(data));
  }
  zip_close(archive);
  return true;
}

}  // namespace fenban::bench
