// Small packages that ask for a lot: the reader refuses them with a clear
// message instead of exhausting memory or time.
#include <gtest/gtest.h>

#include "files/file_error.h"
#include "files/files_test_support.h"
#include "files/package_builder.h"
#include "files/xlsx_reader_internal.h"
#include "files/zip_archive.h"

namespace fenban::files {
namespace {

using testing::FileErrorOf;
using testing::WriteExpandingPackage;
using testing::WritePackage;
using testing::TempDir;

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

TEST(HostileTest, AWorkbookExpandingBeyondTheBoundIsRefusedBeforeInflating) {
  TempDir dir;
  // A few megabytes on disk, more than the bound once inflated.
  WriteExpandingPackage(dir.File("bomb.xlsx"), ZipArchive::kMaxTotalSize + (1u << 20));
  std::string message;
  try {
    ZipArchive::OpenFile(dir.File("bomb.xlsx"));
  } catch (const FormatError& error) {
    message = error.what();
  }
  EXPECT_NE(message.find("解压后超过 " + std::to_string(ZipArchive::kMaxTotalSize >> 20) + " MB"), std::string::npos)
      << message;
  // Just under the bound the archive opens (its parts are read as they are asked for).
  WriteExpandingPackage(dir.File("large.xlsx"), ZipArchive::kMaxTotalSize - (1u << 20));
  EXPECT_NO_THROW(ZipArchive::OpenFile(dir.File("large.xlsx")));
}

TEST(HostileTest, TheDefaultBudgetHoldsAFullSheetOfStudents) {
  // Every row of a sheet with 16 columns plus its row slot; about 50 bytes a slot.
  EXPECT_GT(ReadBudget::kMaxCellSlots, uint64_t{1048576} * 17);
  EXPECT_LT(ReadBudget::kMaxCellSlots * 50, uint64_t{2} << 30);
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
