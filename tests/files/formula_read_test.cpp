// Formulas that a file holds without their results: computed when the
// sheet is read; those the model cannot compute stay empty and keep the
// original file from being overwritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "files/files_test_support.h"
#include "files/package_builder.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::ModelWorkbook;
using host::ModelWorksheet;
using host::Value;
using testing::DataFile;

const std::string kUncomputed = "无法计算的公式 (formulas without results)";

bool HasFormula(const ModelWorksheet& sheet, int32_t row, int32_t column) {
  const host::Cell* cell = sheet.FindCell(row, column);
  return cell != nullptr && cell->formula != 0;
}

TEST(FormulaReadTest, TotalsWrittenByOpenpyxlAreComputed) {
  auto book = ReadWorkbook(DataFile("openpyxl_formulas.xlsx"));
  const ModelWorksheet& data = book->ModelSheetAt(1);
  EXPECT_EQ(data.CellValue(2, 6), Value(245.5));  // SUM(C2:E2)
  EXPECT_EQ(data.CellValue(3, 6), Value(259));    // SUM($C3:$E3)
  EXPECT_EQ(data.CellValue(4, 6), Value(216));    // C4+D4+E4
  EXPECT_EQ(data.CellValue(5, 6), Value(275));
  EXPECT_EQ(data.CellValue(6, 6), Value(210));
  EXPECT_EQ(data.CellValue(2, 7), Value(81.8));   // ROUND(AVERAGE(C2:E2),1)
  EXPECT_EQ(data.CellValue(3, 7), Value(3));      // COUNT(C3:E3)
  EXPECT_EQ(data.CellValue(4, 7), Value(238));    // SUM($C$2:$C$4)
  EXPECT_EQ(data.CellValue(6, 7), Value(35.5));   // F2-F6, both computed before
  // The formulas stay with their cells, in the model's notation.
  EXPECT_EQ(data.CellFormulaR1C1(2, 6), "=SUM(RC[-3]:RC[-1])");
  EXPECT_EQ(data.CellFormulaR1C1(3, 6), "=SUM(RC3:RC5)");
  EXPECT_EQ(data.CellFormulaR1C1(4, 7), "=SUM(R2C3:R4C3)");
  // MEDIAN is not known to the model, and another sheet cannot be read
  // while the workbook is being read: both stay empty.
  EXPECT_EQ(data.CellValue(5, 7), Value());
  EXPECT_FALSE(HasFormula(data, 5, 7));
  EXPECT_EQ(book->ModelSheetAt(2).CellValue(1, 1), Value());
  EXPECT_EQ(book->FileOrigin().unkeptParts, std::vector<std::string>{kUncomputed});
  // Each is remembered with its text, so that a command can name it; the
  // computed ones are not.
  EXPECT_EQ(data.UncomputedFormula(5, 7), "=MEDIAN(C5:E5)");
  EXPECT_EQ(book->ModelSheetAt(2).UncomputedFormula(1, 1), "=数据表!F2");
  EXPECT_EQ(data.UncomputedFormula(2, 6), "");
  EXPECT_EQ(data.UncomputedFormula(6, 7), "");
  // A cell given a value since no longer counts.
  book->ModelSheetAt(1).SetCellValue(5, 7, Value(80));
  EXPECT_EQ(data.UncomputedFormula(5, 7), "");
}

TEST(FormulaReadTest, SharedFormulasWithAndWithoutCachedResults) {
  auto book = ReadWorkbook(DataFile("shared_formulas.xlsx"));
  const ModelWorksheet& data = book->ModelSheetAt(1);
  EXPECT_EQ(data.CellValue(2, 4), Value(170));  // the master, without a result
  EXPECT_EQ(data.CellValue(3, 4), Value(135));  // an empty <v>
  EXPECT_EQ(data.CellValue(5, 4), Value(85));   // no <v>
  EXPECT_EQ(data.CellFormulaR1C1(5, 4), "=SUM(RC[-2]:RC[-1])");
  // A cached result is kept as it is, without its formula.
  EXPECT_EQ(data.CellValue(4, 4), Value(1));
  EXPECT_FALSE(HasFormula(data, 4, 4));
  EXPECT_EQ(data.CellValue(2, 5), Value(999));
  // A cell of a group whose master has a cached result still gets the formula.
  EXPECT_EQ(data.CellValue(3, 5), Value(270));
  EXPECT_EQ(data.CellFormulaR1C1(3, 5), "=RC[-1]*2");
  // An array formula and a reference to another sheet stay empty.
  EXPECT_EQ(data.CellValue(4, 6), Value());
  EXPECT_FALSE(HasFormula(data, 4, 6));
  EXPECT_EQ(data.CellValue(5, 5), Value());
  // An empty text result is a result.
  EXPECT_EQ(data.CellValue(5, 6), Value(std::string()));
  EXPECT_FALSE(HasFormula(data, 5, 6));
  EXPECT_EQ(book->FileOrigin().unkeptParts, std::vector<std::string>{kUncomputed});
}

TEST(FormulaReadTest, OnlyUncomputableFormulasKeepTheFileFromBeingReplaced) {
  testing::TempDir dir;
  const std::string scores = "<row r=\"1\"><c r=\"A1\"><v>3</v></c><c r=\"B1\"><v>4</v></c>";
  testing::WritePackage(dir.File("plain.xlsx"),
                        {"<sheetData>" + scores + "<c r=\"C1\"><f>A1*B1+$A$1</f></c></row></sheetData>"});
  auto plain = ReadWorkbook(dir.File("plain.xlsx"));
  EXPECT_EQ(plain->ModelSheetAt(1).CellValue(1, 3), Value(15));
  EXPECT_TRUE(plain->FileOrigin().unkeptParts.empty());

  // A syntax the model does not read, a defined name, an unknown shared
  // group, a data table: each one is named once.
  testing::WritePackage(dir.File("odd.xlsx"),
                        {"<sheetData>" + scores + "<c r=\"C1\"><f>A1%</f></c><c r=\"D1\"><f>rate*2</f></c>"
                                                  "<c r=\"E1\"><f t=\"shared\" si=\"7\"/></c>"
                                                  "<c r=\"F1\"><f t=\"dataTable\" ref=\"F1\" dt2D=\"0\"/></c>"
                                                  "<c r=\"G1\" s=\"0\"><f>NOW()</f><v></v></c></row></sheetData>"});
  auto odd = ReadWorkbook(dir.File("odd.xlsx"));
  for (int32_t column = 3; column <= 7; ++column) {
    EXPECT_EQ(odd->ModelSheetAt(1).CellValue(1, column), Value()) << column;
    EXPECT_FALSE(HasFormula(odd->ModelSheetAt(1), 1, column)) << column;
  }
  EXPECT_EQ(odd->FileOrigin().unkeptParts, std::vector<std::string>{kUncomputed});
}

TEST(FormulaReadTest, TheLongestAndDeepestFormulasAreComputedLongerOnesRefused) {
  testing::TempDir dir;
  std::string chain = "A1", nested = "A1";
  for (int i = 0; i < 1024; ++i) chain += "+A1";
  for (int i = 0; i < 64; ++i) nested = "SUM(" + nested + ")";
  testing::WritePackage(dir.File("long.xlsx"),
                        {"<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f>" + chain +
                         "</f></c><c r=\"C1\"><f>" + nested + "</f></c><c r=\"D1\"><f>" + chain +
                         "+A1</f></c><c r=\"E1\"><f>(" + nested + ")</f></c></row></sheetData>"});
  auto book = ReadWorkbook(dir.File("long.xlsx"));
  EXPECT_EQ(book->ModelSheetAt(1).CellValue(1, 2), Value(1025));
  EXPECT_EQ(book->ModelSheetAt(1).CellValue(1, 3), Value(1));
  EXPECT_EQ(book->ModelSheetAt(1).CellValue(1, 4), Value());
  EXPECT_EQ(book->ModelSheetAt(1).CellValue(1, 5), Value());
  EXPECT_EQ(book->FileOrigin().unkeptParts, std::vector<std::string>{kUncomputed});
}

TEST(FormulaReadTest, AnUncomputableFormulaSavesBesideTheOriginal) {
  testing::TempDir dir;
  std::filesystem::copy_file(DataFile("openpyxl_formulas.xlsx"), dir.File("scores.xlsx"));
  const std::string original = testing::ReadBytes(dir.File("scores.xlsx"));
  auto book = ReadWorkbook(dir.File("scores.xlsx"));
  const SaveResult saved = SaveWorkbook(*book);
  EXPECT_TRUE(saved.besideOriginal);
  EXPECT_NE(saved.reason.find("无法计算的公式"), std::string::npos) << saved.reason;
  EXPECT_EQ(testing::ReadBytes(dir.File("scores.xlsx")), original);
  // The copy holds the computed totals as cached results.
  auto copy = ReadWorkbook(saved.path);
  EXPECT_EQ(copy->ModelSheetAt(1).CellValue(2, 6), Value(245.5));
  EXPECT_EQ(copy->ModelSheetAt(1).CellValue(6, 7), Value(35.5));
}

}  // namespace
}  // namespace fenban::files
