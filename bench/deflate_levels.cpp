// Size against time of the deflate libraries at hand, on the parts of a
// written workbook: zlib (what libxlsxwriter's minizip uses), libdeflate
// (whole buffers only) and ISA-L's igzip (streaming, as the package writer
// feeds it).
//
//   fenban_deflate_levels WORKBOOK.xlsx [REPEATS]
//
// Prints one line per library and level: the processor seconds of one
// thread to deflate every part (best of REPEATS, default 3), the megabytes
// per second and the compressed size as a share of the parts.
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "xlsx_parts.h"

namespace {

using fenban::bench::ReadParts;

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}


constexpr size_t kFeed = size_t{1} << 16;  // what libxlsxwriter's packager hands over at a time, roughly

size_t Zlib(const std::string& data, int level, std::vector<unsigned char>& out) {
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  out.resize(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  for (size_t at = 0; at < data.size() || at == 0; at += kFeed) {
    const size_t n = std::min(kFeed, data.size() - at);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
    stream.avail_in = static_cast<uInt>(n);
    deflate(&stream, at + n >= data.size() ? Z_FINISH : Z_NO_FLUSH);
    if (at + n >= data.size()) break;
  }
  const size_t size = stream.total_out;
  deflateEnd(&stream);
  return size;
}

size_t Libdeflate(const std::string& data, int level, std::vector<unsigned char>& out) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
  out.resize(libdeflate_deflate_compress_bound(compressor, data.size()));
  const size_t size = libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data(), out.size());
  libdeflate_free_compressor(compressor);
  return size;
}

size_t Isal(const std::string& data, int level, std::vector<unsigned char>& out) {
  static const uint32_t kBuffers[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT, ISAL_DEF_LVL2_DEFAULT,
                                      ISAL_DEF_LVL3_DEFAULT};
  std::vector<uint8_t> levelBuffer(kBuffers[level]);
  isal_zstream stream;
  isal_deflate_init(&stream);
  stream.level = static_cast<uint32_t>(level);
  stream.level_buf = levelBuffer.data();
  stream.level_buf_size = static_cast<uint32_t>(levelBuffer.size());
  out.resize(data.size() + data.size() / 8 + 65536);
  stream.next_out = out.data();
  stream.avail_out = static_cast<uint32_t>(out.size());
  for (size_t at = 0;; at += kFeed) {
    const size_t n = std::min(kFeed, data.size() - at);
    stream.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(data.data() + at));
    stream.avail_in = static_cast<uint32_t>(n);
    stream.end_of_stream = at + n >= data.size() ? 1 : 0;
    isal_deflate(&stream);
    if (stream.end_of_stream != 0) break;
  }
  return stream.total_out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORKBOOK.xlsx [REPEATS]\n", argv[0]);
    return 2;
  }
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  std::vector<std::string> parts;
  if (!ReadParts(argv[1], parts)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  size_t total = 0;
  for (const auto& part : parts) total += part.size();
  struct Method {
    const char* name;
    int level;
    std::function<size_t(const std::string&, int, std::vector<unsigned char>&)> run;
  };
  const std::vector<Method> methods = {
      {"zlib", 1, Zlib},       {"zlib", 6, Zlib},       {"libdeflate", 1, Libdeflate},
      {"libdeflate", 3, Libdeflate}, {"libdeflate", 6, Libdeflate}, {"isa-l", 0, Isal},
      {"isa-l", 1, Isal},      {"isa-l", 2, Isal},      {"isa-l", 3, Isal}};
  std::printf("parts: %zu bytes\n| library | level | CPU s | MB/s | size %% |\n|---|---:|---:|---:|---:|\n", total);
  std::vector<unsigned char> out;
  for (const Method& method : methods) {
    double best = 1e9;
    size_t packed = 0;
    for (int r = 0; r < repeats; ++r) {
      const double start = CpuSeconds();
      packed = 0;
      for (const auto& part : parts) packed += method.run(part, method.level, out);
      best = std::min(best, CpuSeconds() - start);
    }
    std::printf("| %s | %d | %.3f | %.0f | %.2f |\n", method.name, method.level, best,
                static_cast<double>(total) / 1e6 / best, 100.0 * static_cast<double>(packed) / static_cast<double>(total));
    std::fflush(stdout);
  }
  return 0;
}
