// Writes a zip archive entry by entry, as a stream: each entry's bytes are
// deflated as they come (ISA-L's igzip) and its CRC-32 and sizes are put
// into its local header once it is complete, so no entry is ever held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
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

  // An entry whose data are already deflated: its CRC-32, its size and
  // packed size, and a function that hands the deflated bytes, in order, to
  // the sink it is given.
  using Sink = std::function<void(const void* data, size_t size)>;
  struct DeflatedEntry {
    uint32_t crc = 0;
    uint64_t size = 0, packed = 0;
    std::function<void(const Sink&)> copy;
  };
  // The entry called `name`, when it is started, is not written from the
  // data that follow (they are dropped): at Close, `take` is called (it may
  // wait for the entry's data to be ready) and what it returns is stored as
  // it is, after the other entries, keeping the entry's place in the
  // central directory. Close fails when no entry of that name was started.
  void ReplaceEntry(std::string name, std::function<DeflatedEntry()> take);
  // The entry called `name` is held whole as it is written, and what `edit`
  // makes of it is stored in its place when it is finished.
  using Edit = std::function<std::string(std::string)>;
  void EditEntry(std::string name, Edit edit);

 private:
  struct Entry {
    std::string name;
    uint64_t offset = 0;
    uint32_t crc = 0;
    uint64_t packed = 0, size = 0;
    bool replaced = false;  // written at Close by replacement_
  };
  void PutLocalHeader(const Entry& entry);
  void PutReplacement();
  void Take(const void* data, size_t size);
  void Deflate(const uint8_t* data, size_t size, bool last);
  void Put(const void* data, size_t size);
  void Flush();
  [[noreturn]] void Fail(int error);

  int fd_ = -1;
  std::string path_;
  std::vector<Entry> entries_;
  bool open_ = false;  // an entry is being written
  bool dropping_ = false;  // the open entry is the one to be replaced
  std::string replacedName_;
  std::function<DeflatedEntry()> replacement_;
  std::vector<std::pair<std::string, Edit>> edits_;
  const Edit* edit_ = nullptr;  // the open entry's edit, if it has one
  std::string held_;  // the open entry's text, while it is to be edited
  uint64_t offset_ = 0;  // bytes of the archive so far (written or buffered)
  std::vector<uint8_t> out_;  // archive bytes not yet written
  std::vector<uint8_t> packed_;  // the deflate stream's output buffer
  std::vector<uint8_t> levelBuffer_;
  std::unique_ptr<isal_zstream> stream_;
};

}  // namespace fenban::files
