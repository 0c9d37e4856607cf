// The floor of a whole-program run: the time to inflate every part of the
// input workbook and to deflate as many bytes as the output workbook's parts
// hold, at zlib's default level 6 (what libxlsxwriter wrote with through
// minizip; fenban now packs its parts with igzip, see docs/dependencies.md).
//
//   fenban_zlib_floor INPUT.xlsx [OUTPUT.xlsx]
//
// Prints "inflate_s deflate_s floor_s input_bytes output_bytes". Without an
// output workbook the input's own parts are deflated again. Reading the
// output's parts before the deflate is preparation and is not timed.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "xlsx_parts.h"

namespace {

using fenban::bench::ReadParts;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}


// Raw deflate as zip writers use it; returns the compressed size.
size_t Deflate(const std::string& data, std::vector<unsigned char>& buffer) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  buffer.resize(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = buffer.data();
  stream.avail_out = static_cast<uInt>(buffer.size());
  deflate(&stream, Z_FINISH);
  const size_t written = stream.total_out;
  deflateEnd(&stream);
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s INPUT.xlsx [OUTPUT.xlsx]\n", argv[0]);
    return 2;
  }
  std::vector<std::string> input;
  const Clock::time_point inflateStart = Clock::now();
  if (!ReadParts(argv[1], input)) return 1;
  const double inflateSeconds = Seconds(inflateStart, Clock::now());

  std::vector<std::string> output;
  if (argc == 3) {
    if (!ReadParts(argv[2], output)) return 1;
  } else {
    output = input;
  }
  size_t inputBytes = 0, outputBytes = 0;
  for (const std::string& part : input) inputBytes += part.size();
  for (const std::string& part : output) outputBytes += part.size();

  std::vector<unsigned char> buffer;
  size_t compressed = 0;
  const Clock::time_point deflateStart = Clock::now();
  for (const std::string& part : output) compressed += Deflate(part, buffer);
  const double deflateSeconds = Seconds(deflateStart, Clock::now());

  std::printf("%.3f %.3f %.3f %zu %zu %zu\n", inflateSeconds, deflateSeconds, inflateSeconds + deflateSeconds,
              inputBytes, outputBytes, compressed);
  return 0;
}
