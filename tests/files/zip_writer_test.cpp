// The package writer: entries deflated as a stream read back whole (with
// libzip, which checks each entry's CRC-32 and sizes), and libxlsxwriter's
// packages are written by it rather than by minizip.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "files/file_error.h"
#include "files/files_test_support.h"
#include "files/workbook_files.h"
#include "files/zip_archive.h"
#include "files/zip_writer.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using testing::TempDir;

// Text like a sheet's rows, with enough noise that it does not shrink to nothing.
std::string SheetLikeText(size_t size) {
  std::mt19937 random(7);
  std::string text;
  text.reserve(size + 64);
  for (int32_t row = 1; text.size() < size; ++row) {
    text += "<row r=\"" + std::to_string(row) + "\"><c r=\"A" + std::to_string(row) + "\"><v>" +
            std::to_string(random() % 1000) + "</v></c></row>";
  }
  text.resize(size);
  return text;
}

TEST(ZipWriterTest, EntriesOfEverySizeReadBackWhole) {
  TempDir dir;
  const std::string large = SheetLikeText(size_t{9} << 20);  // past every buffer, in uneven writes
  const std::string small = "<Types/>";
  {
    ZipWriter writer(dir.File("a.zip"));
    writer.StartEntry("[Content_Types].xml");
    writer.Write(small.data(), small.size());
    writer.StartEntry("empty.xml");
    writer.StartEntry("xl/worksheets/sheet1.xml");
    for (size_t at = 0; at < large.size(); at += 12345) {
      writer.Write(large.data() + at, std::min<size_t>(12345, large.size() - at));
    }
    writer.Close();
  }
  const ZipArchive zip = ZipArchive::OpenFile(dir.File("a.zip"));
  ASSERT_EQ(zip.Names(), (std::vector<std::string>{"[Content_Types].xml", "empty.xml", "xl/worksheets/sheet1.xml"}));
  EXPECT_EQ(zip.Read("[Content_Types].xml", 1 << 20), small);
  EXPECT_EQ(zip.Read("empty.xml", 1 << 20), "");
  EXPECT_TRUE(zip.Read("xl/worksheets/sheet1.xml", uint64_t{64} << 20) == large);
  EXPECT_LT(testing::ReadBytes(dir.File("a.zip")).size(), large.size() / 4);
}

// The reader inflates deflated entries itself (igzip), so it checks their
// CRC-32 itself: an entry whose data do not match it is damaged.
TEST(ZipWriterTest, AnEntryNotMatchingItsChecksumReadsAsDamaged) {
  TempDir dir;
  const std::string text = SheetLikeText(size_t{5} << 20);  // read on the pipelined path too
  for (const size_t size : {size_t{1000}, text.size()}) {
    {
      ZipWriter writer(dir.File("a.zip"));
      writer.StartEntry("sheet.xml");
      writer.Write(text.data(), size);
      writer.Close();
    }
    std::string bytes = testing::ReadBytes(dir.File("a.zip"));
    const size_t record = bytes.find("PK\x01\x02");
    ASSERT_NE(record, std::string::npos);
    bytes[record + 16] = static_cast<char>(bytes[record + 16] ^ 1);  // the CRC-32 the directory gives
    testing::WriteBytes(dir.File("a.zip"), bytes);
    const ZipArchive zip = ZipArchive::OpenFile(dir.File("a.zip"));
    EXPECT_THROW(zip.Read("sheet.xml", uint64_t{64} << 20), FormatError) << size;
  }
}

TEST(ZipWriterTest, AFolderThatCannotHoldTheFileFails) {
  TempDir dir;
  EXPECT_THROW(ZipWriter(dir.File("missing/a.zip")), FormatError);
}

// Zip's "version made by" names the system that wrote an entry: minizip,
// as libxlsxwriter calls it, writes 0 (MS-DOS); this writer writes Unix.
TEST(ZipWriterTest, WorkbooksArePackedByThisWriter) {
  TempDir dir;
  host::ModelWorkbook book("名单.xlsx", dir.Path());
  book.AppendSheet("数据表").SetCellValue(1, 1, "姓名");
  WriteXlsx(book, dir.File("a.xlsx"));
  const std::string bytes = testing::ReadBytes(dir.File("a.xlsx"));
  size_t records = 0;
  for (size_t at = bytes.find("PK\x01\x02"); at != std::string::npos; at = bytes.find("PK\x01\x02", at + 4)) {
    ++records;
    EXPECT_EQ(static_cast<unsigned char>(bytes[at + 5]), 3) << "entry " << records;
  }
  EXPECT_GE(records, 8u);
}

}  // namespace
}  // namespace fenban::files
