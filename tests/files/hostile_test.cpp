// Small packages that ask for a lot: the reader refuses them with a clear
// message instead of exhausting memory or time.
#include <gtest/gtest.h>
#include <zip.h>

#include <map>

#include "files/file_error.h"
#include "files/files_test_support.h"
#include "files/xlsx_reader_internal.h"
#include "files/zip_archive.h"

namespace fenban::files {
namespace {

using testing::FileErrorOf;
using testing::TempDir;

// Writes an .xlsx package whose worksheets have the given XML bodies.
void WritePackage(const std::string& path, const std::vector<std::string>& sheetBodies) {
  std::map<std::string, std::string> parts;
  std::string sheets, rels;
  for (size_t i = 1; i <= sheetBodies.size(); ++i) {
    const std::string n = std::to_string(i);
    sheets += "<sheet name=\"S" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
            "Target=\"worksheets/sheet" + n + ".xml\"/>";
    parts["xl/worksheets/sheet" + n + ".xml"] =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + sheetBodies[i - 1] +
        "</worksheet>";
  }
  parts["_rels/.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"r1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";
  parts["xl/workbook.xml"] =
      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>" + sheets +
      "</sheets></workbook>";
  parts["xl/_rels/workbook.xml.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + rels +
      "</Relationships>";
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, text] : parts) {
    zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

// The budget counts row and cell slots over the whole workbook; the tests
// use a small one so they stay light, the default is checked on its own.
std::string BudgetErrorOf(const std::string& path, uint64_t slots) {
  try {
    const ZipArchive zip = ZipArchive::OpenFile(path);
    ReadXlsxArchive(zip, "test.xlsx", ".", slots);
  } catch (const FormatError& error) {
    return error.what();
  }
  return "";
}

TEST(HostileTest, RowsFarDownInManySheetsHitTheBudget) {
  TempDir dir;
  const std::vector<std::string> sheets(5, "<sheetData><row r=\"30000\"><c><v>1</v></c></row></sheetData>");
  WritePackage(dir.File("deep.xlsx"), sheets);
  EXPECT_NE(BudgetErrorOf(dir.File("deep.xlsx"), 100000).find("单元格过多"), std::string::npos);
  EXPECT_EQ(BudgetErrorOf(dir.File("deep.xlsx"), 200000), "");
  // The default budget holds a sheet reaching the last row.
  WritePackage(dir.File("one.xlsx"), {"<sheetData><row r=\"1048576\"><c><v>1</v></c></row></sheetData>"});
  EXPECT_EQ(ReadWorkbook(dir.File("one.xlsx"))->ModelSheetAt(1).CellValue(1048576, 1), host::Value(1));
}

TEST(HostileTest, WideRowsHitTheBudget) {
  TempDir dir;
  std::string body = "<sheetData>";
  for (int r = 0; r < 10; ++r) body += "<row><c r=\"XFD" + std::to_string(r + 1) + "\"><v>1</v></c></row>";
  body += "</sheetData>";
  WritePackage(dir.File("wide.xlsx"), {body});
  EXPECT_NE(BudgetErrorOf(dir.File("wide.xlsx"), 100000).find("单元格过多"), std::string::npos);
  EXPECT_EQ(BudgetErrorOf(dir.File("wide.xlsx"), 200000), "");
}

TEST(HostileTest, TheDefaultBudgetHoldsALargeClassList) {
  // 100,000 students with 16 columns, with room to spare; about 50 bytes a slot.
  EXPECT_GT(ReadBudget::kMaxCellSlots, uint64_t{100000} * 17 * 4);
  EXPECT_LT(ReadBudget::kMaxCellSlots * 50, uint64_t{1} << 30);
}

TEST(HostileTest, OverlappingColumnRangesAreRefused) {
  TempDir dir;
  std::string body = "<cols>";
  for (int i = 0; i < 1000; ++i) body += "<col min=\"1\" max=\"16384\" width=\"9\" customWidth=\"1\"/>";
  body += "</cols><sheetData/>";
  WritePackage(dir.File("cols.xlsx"), {body});
  EXPECT_NE(FileErrorOf([&] { ReadWorkbook(dir.File("cols.xlsx")); }).find("列范围"), std::string::npos);
}

TEST(HostileTest, CellsWithoutReferencesStopAtTheLastColumnAndRow) {
  TempDir dir;
  std::string wide = "<sheetData><row>";
  for (int c = 0; c <= 16384; ++c) wide += "<c/>";
  wide += "</row></sheetData>";
  WritePackage(dir.File("cells.xlsx"), {wide});
  EXPECT_NE(FileErrorOf([&] { ReadWorkbook(dir.File("cells.xlsx")); }).find("超出工作表范围"), std::string::npos);
  WritePackage(dir.File("rows.xlsx"), {"<sheetData><row r=\"1048576\"/><row/></sheetData>"});
  EXPECT_NE(FileErrorOf([&] { ReadWorkbook(dir.File("rows.xlsx")); }).find("1048577"), std::string::npos);
}

}  // namespace
}  // namespace fenban::files
