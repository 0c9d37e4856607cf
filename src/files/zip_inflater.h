// Reads one deflated zip entry through libzip as its raw compressed bytes
// and inflates them with ISA-L's igzip (several times as fast as zlib,
// which libzip would use), checking the entry's CRC-32 and size at its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct zip;
struct zip_file;
struct inflate_state;

namespace fenban::files {

class ZipInflater {
 public:
  // The entry at index, which must be deflated; declared and crc are what
  // the archive's directory says of it. part names it in messages. Throws
  // FormatError when it cannot be opened.
  ZipInflater(struct zip* archive, uint64_t index, uint64_t declared, uint32_t crc, std::string part);
  ~ZipInflater();
  ZipInflater(const ZipInflater&) = delete;
  ZipInflater& operator=(const ZipInflater&) = delete;

  // Inflates up to size bytes into out; 0 at the end of the entry. Throws
  // FormatError when the data are damaged, end early, run past the
  // declared size or do not match its CRC-32.
  size_t Read(char* out, size_t size);

 private:
  [[noreturn]] void Damaged() const;

  struct zip_file* file_ = nullptr;
  std::unique_ptr<inflate_state> state_;
  std::vector<uint8_t> input_;
  uint64_t declared_ = 0, done_ = 0;
  uint32_t expectedCrc_ = 0, crc_ = 0;
  bool inputEnded_ = false, finished_ = false;
  std::string part_;
};

}  // namespace fenban::files
