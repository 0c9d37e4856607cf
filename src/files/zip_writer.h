// Writes a zip archive entry by entry, as a stream: each entry's bytes are
// deflated as they come (ISA-L's igzip) and its CRC-32 and sizes are put
// into its local header once it is complete, so no entry is ever held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct isal_zstream;

namespace fenban::files {

class ZipWriter {
 public:
  // igzip's level for the parts of a workbook, chosen by measurement
  // (bench/RESULTS.md): level 2 deflates the parts of a class list about 14
  // times as fast as zlib's default level, for a file about a fifth larger.
  static constexpr int kLevel = 2;

  // Creates (or empties) the file at path. Throws FormatError when it cannot.
  explicit ZipWriter(const std::string& path);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // The entry the following writes go to; the one before is finished first.
  void StartEntry(const std::string& name);
  void Write(const void* data, size_t size);
  void FinishEntry();
  // Finishes the last entry and writes the central directory. Throws
  // FormatError on any failure of this or an earlier write.
  void Close();

 private:
  struct Entry {
    std::string name;
    uint64_t offset = 0;
    uint32_t crc = 0;
    uint64_t packed = 0, size = 0;
  };
  void Deflate(const uint8_t* data, size_t size, bool last);
  void Put(const void* data, size_t size);
  void Flush();
  [[noreturn]] void Fail(int error);

  int fd_ = -1;
  std::string path_;
  std::vector<Entry> entries_;
  bool open_ = false;  // an entry is being written
  uint64_t offset_ = 0;  // bytes of the archive so far (written or buffered)
  std::vector<uint8_t> out_;  // archive bytes not yet written
  std::vector<uint8_t> packed_;  // the deflate stream's output buffer
  std::vector<uint8_t> levelBuffer_;
  std::unique_ptr<isal_zstream> stream_;
};

}  // namespace fenban::files
