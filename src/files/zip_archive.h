// Read-only access to the entries of a zip archive (libzip; deflated entries
// are inflated by igzip, see zip_inflater.h), with limits
// that keep a hostile archive from exhausting memory or time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct zip;
struct zip_file;

namespace fenban::files {

class ZipArchive {
 public:
  // The most an archive may hold uncompressed, all entries together,
  // checked on the sizes the archive declares before anything is inflated
  // (and each entry is held to its declared size while it is). A list of
  // 100,000 students with one division expands to 128 MB, one of 1,000,000
  // students to about 1.3 GB; this holds the latter, while a small hostile
  // file cannot make the reader parse more than that. (The cell budget of
  // the reader, a full sheet of students and more, bounds the memory.)
  static constexpr uint64_t kMaxTotalSize = uint64_t{1536} << 20;
  // Deflate cannot expand by more than about 1032:1; an entry claiming
  // more than this ratio is lying about its size.
  static constexpr uint64_t kMaxRatio = 1100;

  // Opens a file or a buffer (which must outlive the archive). Throws
  // FormatError when it is not a readable zip archive or breaks the limits.
  static ZipArchive OpenFile(const std::string& path);
  static ZipArchive OpenMemory(const void* data, size_t size);

  // The most all reads together may inflate.
  static constexpr uint64_t kMaxInflated = 2 * kMaxTotalSize;

  ZipArchive(ZipArchive&&) noexcept;
  ZipArchive& operator=(ZipArchive&&) noexcept;
  ~ZipArchive();

  // Entry names as stored, in archive order.
  const std::vector<std::string>& Names() const { return names_; }
  // Looks a part name up without regard to ASCII letter case.
  bool Has(std::string_view name) const;
  // The uncompressed size a part declares (0 when missing).
  uint64_t SizeOf(std::string_view name) const;
  // Stored name of a part, or "" when missing.
  std::string StoredName(std::string_view name) const;
  // The whole entry; throws FormatError when missing, damaged or larger than limit.
  std::string Read(std::string_view name, uint64_t limit) const;
  // Feeds the entry to sink in chunks; throws FormatError when missing or damaged.
  // A large entry is inflated on a second thread while the sink takes the
  // chunks before; the sink must not use the archive.
  void Stream(std::string_view name, const std::function<void(const char*, size_t)>& sink) const;

  // Entries from this size up are inflated on a second thread, in chunks of this size.
  static constexpr uint64_t kPipelinedSize = uint64_t{4} << 20;
  static constexpr size_t kPipelinedChunk = size_t{256} << 10;

 private:
  explicit ZipArchive(struct zip* archive);
  void Index();
  int64_t Find(std::string_view name) const;
  // Inflates the next chunk into buffer and checks it against the declared
  // size and the limits; 0 at the end of the entry.
  class EntryReader;
  size_t ReadChunk(EntryReader& reader, std::vector<char>& buffer, uint64_t declared, uint64_t& done,
                   const std::string& part) const;
  void StreamPipelined(EntryReader& reader, uint64_t declared, const std::string& part,
                       const std::function<void(const char*, size_t)>& sink) const;

  struct zip* archive_ = nullptr;
  std::vector<std::string> names_;
  std::vector<uint64_t> sizes_;
  // Bytes inflated so far: a part read again and again counts each time.
  mutable uint64_t inflated_ = 0;
  std::unordered_map<std::string, size_t> byLowerName_;
};

}  // namespace fenban::files
