// Streaming of large entries, which are inflated on a second thread while
// the reader parses: same bytes, same failures, no thread left waiting.
#include <gtest/gtest.h>
#include <zip.h>

#include <stdexcept>
#include <string>

#include "files/chunk_pipe.h"
#include "files/file_error.h"
#include "files/files_test_support.h"
#include "files/package_builder.h"
#include "files/workbook_files.h"
#include "files/zip_archive.h"

namespace fenban::files {
namespace {

using testing::TempDir;

// Text with structure and no long repeats, larger than the pipelined size.
const std::string& LargeText() {
  static const std::string made = [] {
    std::string text;
    uint32_t state = 12345;
    while (text.size() < ZipArchive::kPipelinedSize + 1500000) {
      state = state * 1103515245u + 12345u;
      text += "<row r=\"" + std::to_string(state % 100000) + "\"><v>" + std::to_string(state >> 8) + "</v></row>\n";
    }
    return text;
  }();
  return made;
}

void WriteZip(const std::string& path, const std::string& name, const std::string& text, bool stored) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
  const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
  ASSERT_GE(index, 0);
  if (stored) {
    ASSERT_EQ(zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

TEST(ZipStreamTest, ALargeEntryArrivesWholeAndInOrder) {
  TempDir dir;
  const std::string text = LargeText();
  WriteZip(dir.File("big.zip"), "part.xml", text, false);
  const ZipArchive zip = ZipArchive::OpenFile(dir.File("big.zip"));
  std::string streamed;
  size_t chunks = 0;
  zip.Stream("part.xml", [&](const char* data, size_t size) {
    streamed.append(data, size);
    ++chunks;
  });
  EXPECT_EQ(streamed, text);
  EXPECT_GT(chunks, 1u);
  EXPECT_EQ(zip.Read("part.xml", text.size()), text);
}

TEST(ZipStreamTest, ADamagedLargeEntryFailsAfterItsGoodChunks) {
  TempDir dir;
  const std::string text = LargeText();
  const std::string path = dir.File("damaged.zip");
  WriteZip(path, "part.xml", text, true);
  // Stored uncompressed, so a byte near the end can be changed in place: the
  // checksum no longer matches when the entry has been read to its end.
  std::string bytes = testing::ReadBytes(path);
  const size_t at = bytes.rfind("</row>");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 2] = 'X';
  testing::WriteBytes(path, bytes);
  const ZipArchive zip = ZipArchive::OpenFile(path);
  size_t received = 0;
  try {
    zip.Stream("part.xml", [&](const char*, size_t size) { received += size; });
    FAIL() << "a damaged entry was read without complaint";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find("part.xml"), std::string::npos) << error.what();
  }
  EXPECT_GT(received, 0u);
}

TEST(ZipStreamTest, AFailingSinkStopsTheInflatingThread) {
  TempDir dir;
  const std::string text = LargeText();
  WriteZip(dir.File("big.zip"), "part.xml", text, false);
  const ZipArchive zip = ZipArchive::OpenFile(dir.File("big.zip"));
  int calls = 0;
  EXPECT_THROW(zip.Stream("part.xml",
                          [&](const char*, size_t) {
                            if (++calls == 2) throw std::runtime_error("parser gave up");
                          }),
               std::runtime_error);
  EXPECT_EQ(calls, 2);
  // The archive is usable again once the stream has ended.
  EXPECT_EQ(zip.Read("part.xml", text.size()), text);
}

TEST(ZipStreamTest, ALargeSheetReadsLikeASmallOne) {
  TempDir dir;
  const int32_t rows = 60000;
  const std::string body = testing::LargeSheetData(rows);
  ASSERT_GT(body.size(), ZipArchive::kPipelinedSize);
  testing::WritePackage(dir.File("large.xlsx"), {body});
  const auto book = ReadWorkbook(dir.File("large.xlsx"));
  const host::ModelWorksheet& sheet = book->ModelSheetAt(1);
  for (const int32_t r : {1, 2, 29999, 30000, 59999, rows}) {
    EXPECT_EQ(sheet.CellValue(r, 1), host::Value("学生" + std::to_string(r))) << r;
    EXPECT_EQ(sheet.CellValue(r, 2), host::Value(r % 750 + 0.5)) << r;
  }
  EXPECT_TRUE(sheet.CellValue(rows + 1, 1).IsEmpty());
}

TEST(ChunkPipeTest, AProducerFailureComesAfterTheChunksBeforeIt) {
  ChunkPipe pipe(2);
  ASSERT_TRUE(pipe.Put(std::vector<char>{'a'}));
  ASSERT_TRUE(pipe.Put(std::vector<char>{'b'}));
  pipe.Finish(std::make_exception_ptr(FormatError("damaged")));
  std::vector<char> chunk;
  ASSERT_TRUE(pipe.Take(chunk));
  EXPECT_EQ(chunk, std::vector<char>{'a'});
  ASSERT_TRUE(pipe.Take(chunk));
  EXPECT_EQ(chunk, std::vector<char>{'b'});
  EXPECT_THROW(pipe.Take(chunk), FormatError);
}

TEST(ChunkPipeTest, AStoppedConsumerReleasesTheProducer) {
  ChunkPipe pipe(1);
  ASSERT_TRUE(pipe.Put(std::vector<char>{'a'}));
  pipe.Stop();
  EXPECT_FALSE(pipe.Put(std::vector<char>{'b'}));  // would wait for room forever otherwise
  pipe.Recycle(std::vector<char>(16));
  EXPECT_EQ(pipe.Spare().size(), 16u);
  EXPECT_TRUE(pipe.Spare().empty());
}

}  // namespace
}  // namespace fenban::files
