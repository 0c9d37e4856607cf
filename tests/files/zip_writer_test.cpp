// The package writer: entries deflated as a stream read back whole (with
// libzip, which checks each entry's CRC-32 and sizes), and libxlsxwriter's
// packages are written by it rather than by minizip, in one pass even when
// a large sheet is written on a second thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "files/file_error.h"
#include "files/files_test_support.h"
#include "files/workbook_files.h"
#include "files/xlsx_writer_internal.h"
#include "files/zip_archive.h"
#include "files/zip_writer.h"
#include "host/constants.h"
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

// A replaced entry keeps its place among the names and takes the other
// archive's deflated data as they are; an edited one is stored as edited;
// a replacement whose entry never comes, or that fails, fails Close.
TEST(ZipWriterTest, ReplacedAndEditedEntries) {
  TempDir dir;
  const std::string sheet = SheetLikeText(size_t{3} << 20);
  {
    ZipWriter other(dir.File("other.zip"));
    other.StartEntry("sheet.xml");
    other.Write(sheet.data(), sheet.size());
    other.Close();
  }
  {
    ZipWriter writer(dir.File("a.zip"));
    writer.ReplaceEntry("b.xml", [&] { return DeflatedPart(dir.File("other.zip"), "sheet.xml"); });
    writer.EditEntry("c.xml", [](std::string text) { return text + "<edited/>"; });
    for (const char* name : {"a.xml", "b.xml", "c.xml"}) {
      writer.StartEntry(name);
      writer.Write("<stand-in/>", 11);
    }
    writer.Close();
  }
  const ZipArchive zip = ZipArchive::OpenFile(dir.File("a.zip"));
  EXPECT_EQ(zip.Names(), (std::vector<std::string>{"a.xml", "b.xml", "c.xml"}));
  EXPECT_EQ(zip.Read("a.xml", 1 << 20), "<stand-in/>");
  EXPECT_TRUE(zip.Read("b.xml", uint64_t{64} << 20) == sheet);
  EXPECT_EQ(zip.Read("c.xml", 1 << 20), "<stand-in/><edited/>");

  ZipWriter missing(dir.File("b.zip"));
  missing.ReplaceEntry("b.xml", [&] { return DeflatedPart(dir.File("other.zip"), "sheet.xml"); });
  missing.StartEntry("a.xml");
  EXPECT_THROW(missing.Close(), FormatError);
  ZipWriter failing(dir.File("c.zip"));
  failing.ReplaceEntry("a.xml", [&] { return DeflatedPart(dir.File("other.zip"), "no such part"); });
  failing.StartEntry("a.xml");
  EXPECT_THROW(failing.Close(), FormatError);
}

uint32_t Get16(const std::string& bytes, size_t at) {
  return static_cast<unsigned char>(bytes.at(at)) | static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(at + 1))) << 8;
}

uint32_t Get32(const std::string& bytes, size_t at) { return Get16(bytes, at) | Get16(bytes, at + 2) << 16; }

// One entry as the central directory gives it, and where its data end.
struct StoredEntry {
  std::string name;
  uint32_t offset = 0, end = 0;
};

// The entries of an archive without a comment, checked against their local
// headers (same name, date, CRC-32 and sizes, no extra field) and made by
// this writer; in the order of their data.
std::vector<StoredEntry> StoredEntries(const std::string& bytes) {
  const size_t tail = bytes.size() - 22;
  EXPECT_EQ(Get32(bytes, tail), 0x06054b50u);
  std::vector<StoredEntry> entries;
  size_t at = Get32(bytes, tail + 16);
  for (uint32_t i = 0; i < Get16(bytes, tail + 10); ++i) {
    EXPECT_EQ(Get32(bytes, at), 0x02014b50u);
    StoredEntry entry;
    const uint32_t nameSize = Get16(bytes, at + 28);
    entry.name = bytes.substr(at + 46, nameSize);
    entry.offset = Get32(bytes, at + 42);
    const size_t local = entry.offset;
    EXPECT_EQ(Get32(bytes, local), 0x04034b50u) << entry.name;
    EXPECT_EQ(bytes.substr(local + 30, Get16(bytes, local + 26)), entry.name);
    EXPECT_EQ(Get16(bytes, local + 28), 0u) << entry.name;
    for (const size_t field : {size_t{10}, size_t{12}, size_t{14}, size_t{18}, size_t{22}}) {
      EXPECT_EQ(Get16(bytes, local + field) | Get16(bytes, local + field + 2) << 16,
                Get16(bytes, at + field + 2) | Get16(bytes, at + field + 4) << 16)
          << entry.name << " field " << field;
    }
    EXPECT_EQ(Get16(bytes, at + 14), 1u << 5 | 1u) << entry.name;  // 1980-01-01, as every part
    // Made by this writer (Unix, zip 2.0), not rewritten by libzip (6.3).
    EXPECT_EQ(Get16(bytes, at + 4), 3u << 8 | 20u) << entry.name;
    entry.end = entry.offset + 30 + nameSize + Get32(bytes, at + 20);
    entries.push_back(entry);
    at += 46 + nameSize + Get16(bytes, at + 30) + Get16(bytes, at + 32);
  }
  std::sort(entries.begin(), entries.end(), [](const StoredEntry& a, const StoredEntry& b) { return a.offset < b.offset; });
  return entries;
}

// The largest sheet of a large workbook is written into a package of its
// own on a second thread; its deflated part goes into the main package as
// it is closed, so each part is stored once, right after the one before,
// with the CRC-32 and sizes of what was written, and the archive is not
// rewritten afterwards, not even for what libxlsxwriter cannot write itself
// (a tab ratio, a very hidden sheet), which is changed as it is written.
TEST(ZipWriterTest, AWorkbookWrittenOnTwoThreadsIsPackedInOnePass) {
  TempDir dir;
  host::ModelWorkbook book("large.xlsx", dir.Path());
  for (const char* name : {"数据表", "分班表1"}) {
    host::ModelWorksheet& sheet = book.AppendSheet(name);
    for (int32_t r = 1; r <= 3000; ++r) {
      sheet.SetCellValue(r, 1, std::string(name) + std::to_string(r));
      for (int32_t c = 2; c <= 9; ++c) sheet.SetCellValue(r, c, (r * 37 + c * 11) % 150);
    }
  }
  book.AppendSheet("隐藏").SetVisible(host::kSheetVeryHidden);
  book.SetTabRatio(0.75);
  WriteXlsx(book, dir.File("a.xlsx"));
  const std::string bytes = testing::ReadBytes(dir.File("a.xlsx"));
  const std::vector<StoredEntry> entries = StoredEntries(bytes);
  ASSERT_GE(entries.size(), 9u);
  EXPECT_EQ(entries.front().offset, 0u);
  for (size_t i = 1; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].offset, entries[i - 1].end) << entries[i].name << " after " << entries[i - 1].name;
  }
  EXPECT_EQ(entries.back().end, Get32(bytes, bytes.size() - 22 + 16));
  const ZipArchive zip = ZipArchive::OpenFile(dir.File("a.xlsx"));
  for (const char* part : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"}) {
    EXPECT_NE(zip.Read(part, uint64_t{64} << 20).find("<c r=\"I3000\""), std::string::npos) << part;
  }
  const std::string workbookPart = zip.Read("xl/workbook.xml", 1 << 20);
  EXPECT_NE(workbookPart.find("tabRatio=\"750\""), std::string::npos) << workbookPart;
  EXPECT_NE(workbookPart.find("state=\"veryHidden\""), std::string::npos) << workbookPart;
  const auto read = ReadWorkbook(dir.File("a.xlsx"));
  EXPECT_DOUBLE_EQ(read->TabRatio(), 0.75);
  EXPECT_EQ(read->ModelSheetAt(3).Visible(), host::kSheetVeryHidden);
  EXPECT_EQ(read->ModelSheetAt(1).CellValue(3000, 1), host::Value("数据表3000"));
  EXPECT_EQ(read->ModelSheetAt(2).CellValue(3000, 9), host::Value((3000 * 37 + 9 * 11) % 150));
}

}  // namespace
}  // namespace fenban::files
