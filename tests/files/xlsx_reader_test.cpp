// Reading workbooks written by other programs: a hand-made package with
// the unusual forms the format allows, files saved by openpyxl and by
// LibreOffice, and workbooks holding parts the model does not keep.
#include <gtest/gtest.h>

#include <algorithm>

#include "files/files_test_support.h"
#include "files/model_compare.h"
#include "files/package_builder.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::CellStyle;
using host::ModelWorkbook;
using host::ModelWorksheet;
using host::Rect;
using host::Value;
using testing::DataFile;

bool Lists(const std::vector<std::string>& parts, const std::string& word) {
  return std::any_of(parts.begin(), parts.end(),
                     [&word](const std::string& part) { return part.find(word) != std::string::npos; });
}

class HandmadeTest : public ::testing::Test {
 protected:
  HandmadeTest() : book(ReadWorkbook(DataFile("handmade.xlsx"))), data(book->ModelSheetAt(1)) {}
  std::unique_ptr<ModelWorkbook> book;
  ModelWorksheet& data;
};

TEST_F(HandmadeTest, WorkbookPartGivesSheetsInOrderWithStateAndActiveTab) {
  ASSERT_EQ(book->SheetCount(), 3);
  EXPECT_EQ(book->ModelSheetAt(1).Name(), "数据表");
  EXPECT_EQ(book->ModelSheetAt(2).Name(), "登记表");
  EXPECT_EQ(book->ModelSheetAt(3).Visible(), host::kSheetHidden);
  EXPECT_EQ(book->ActiveSheetIndex(), 2);
  EXPECT_NEAR(book->TabRatio(), 0.75, 1e-12);
  EXPECT_EQ(book->Name(), "handmade.xlsx");
  EXPECT_EQ(book->Path(), FENBAN_TEST_DATA);
  EXPECT_TRUE(book->FileOrigin().unkeptParts.empty());
}

TEST_F(HandmadeTest, StringsSharedInlineRichAndEscaped) {
  EXPECT_EQ(data.CellValue(1, 1), Value("姓名"));
  EXPECT_EQ(data.CellValue(1, 2), Value("总分"));
  EXPECT_EQ(data.CellValue(1, 3), Value("备注"));
  EXPECT_EQ(data.CellValue(2, 1), Value("王小明"));  // runs joined, phonetic run left out
  EXPECT_EQ(data.CellValue(2, 3), Value("富文本"));
  EXPECT_EQ(data.CellValue(6, 3), Value("line\rbreak"));
}

TEST_F(HandmadeTest, NumbersBooleansErrorsAndCachedFormulaResults) {
  EXPECT_EQ(data.CellValue(2, 2), Value(612.5));
  EXPECT_EQ(data.CellValue(5, 1), Value::Boolean(true));
  EXPECT_EQ(data.CellValue(5, 5), Value::Boolean(false));
  EXPECT_EQ(data.CellValue(5, 2), Value(host::ErrorValue{"#DIV/0!"}));
  EXPECT_EQ(data.CellValue(5, 3), Value(2));
  EXPECT_EQ(data.CellValue(5, 4), Value("ab"));
  EXPECT_EQ(data.CellValue(6, 7), Value(host::ErrorValue{"#N/A"}));
  EXPECT_EQ(data.CellFormulaR1C1(5, 3), "");  // A1 formulas are not kept
  EXPECT_EQ(data.CellValue(9, 28), Value(-0.0015));
}

TEST_F(HandmadeTest, DatesStayNumbers) {
  EXPECT_EQ(data.CellValue(6, 1), Value(45170));
  EXPECT_EQ(data.CellFormat(6, 1).numberFormat, "yyyy/m/d");
  EXPECT_EQ(data.CellValue(6, 2), Value(45170.5));  // an ISO date cell (t="d")
}

TEST_F(HandmadeTest, RowsAndCellsWithoutReferencesAndALyingDimension) {
  // Rows 1 and 2 and their cells carry no r attribute; the dimension says A1:B2.
  EXPECT_EQ(data.UsedRect().row2, 9);
  EXPECT_EQ(data.UsedRect().col2, 28);
  EXPECT_DOUBLE_EQ(data.RowHeight(2), 30);
  EXPECT_DOUBLE_EQ(data.RowHeight(8), 0);  // hidden
  EXPECT_DOUBLE_EQ(data.RowHeight(3), 14.25);
  EXPECT_DOUBLE_EQ(data.ColumnWidth(1), 12);
  EXPECT_DOUBLE_EQ(data.ColumnWidth(3), 5);
}

TEST_F(HandmadeTest, CellFormatsFromTheStylesPart) {
  const CellStyle score = data.CellFormat(2, 2);
  EXPECT_TRUE(score.bold);
  EXPECT_EQ(score.fontSize, 14);
  EXPECT_EQ(score.fontColor, 255);           // FFFF0000 as a BGR long
  EXPECT_EQ(score.fillColorIndex, 35);       // indexed 42 is palette entry 35
  EXPECT_EQ(score.borders[host::kSideLeft], host::kLineContinuous);
  EXPECT_EQ(score.borders[host::kSideRight], host::kLineDouble);
  EXPECT_EQ(score.borders[host::kSideTop], host::kLineContinuous);     // medium
  EXPECT_EQ(score.borders[host::kSideBottom], host::kLineContinuous);  // dashed
  EXPECT_EQ(score.numberFormat, "0.0");
  const CellStyle plain = data.CellFormat(1, 1);
  EXPECT_EQ(plain, CellStyle());  // theme text colour reads as automatic
  const CellStyle column = data.CellFormat(20, 4);
  EXPECT_EQ(column.fontSize, 9);
  EXPECT_EQ(column.fontColor, host::RgbToBgr(0x0000FF));  // indexed 12
  EXPECT_EQ(column.fillColorIndex, 15);                   // white darkened by a quarter: grey 25 %
  EXPECT_EQ(column.horizontalAlignment, host::kAlignCenter);
  EXPECT_EQ(column.verticalAlignment, host::kAlignCenter);
  EXPECT_TRUE(column.wrapText);
  EXPECT_EQ(data.CellFormat(6, 4).numberFormat, "0.00");  // a blank formatted cell
}

TEST_F(HandmadeTest, MergesBreaksPageSetupAndView) {
  EXPECT_EQ(data.MergedAreas(), (std::vector<Rect>{Rect{2, 3, 3, 4}}));
  EXPECT_EQ(data.HPageBreaks(), (std::vector<int32_t>{5, 8}));
  const host::PageSetupData& setup = data.PageSetupValues();
  EXPECT_EQ(setup.orientation, host::kLandscape);
  EXPECT_EQ(setup.zoom, 75);
  EXPECT_EQ(setup.paperSize, 9);
  EXPECT_TRUE(setup.centerHorizontally);
  EXPECT_DOUBLE_EQ(setup.leftMargin, 18);
  EXPECT_DOUBLE_EQ(setup.topMargin, 72);
  EXPECT_DOUBLE_EQ(setup.bottomMargin, 36);
  EXPECT_DOUBLE_EQ(setup.headerMargin, 7.2);
  EXPECT_TRUE(setup.marginsSet);
  EXPECT_EQ(setup.centerHeader, "标题");
  EXPECT_EQ(setup.centerFooter, "第&P页");
  EXPECT_EQ(setup.printTitleFirstRow, 1);
  EXPECT_EQ(setup.printTitleLastRow, 1);
  EXPECT_EQ(data.View().zoom, 85);
  EXPECT_TRUE(data.View().freezePanes);
  EXPECT_EQ(data.View().splitRow, 1);
  EXPECT_EQ(data.View().splitColumn, 0);
  EXPECT_EQ(data.View().scrollRow, 1);
}

TEST_F(HandmadeTest, ValidationOfAPrefixedSheet) {
  ModelWorksheet& entry = book->ModelSheetAt(2);
  EXPECT_EQ(entry.CellValue(2, 3), Value("是"));
  ASSERT_EQ(entry.Validations().size(), 3u);
  const host::ValidationRule& list = entry.Validations()[0];
  EXPECT_EQ(list.area, (Rect{2, 3, 2, 3}));
  EXPECT_EQ(list.type, host::kValidateList);
  EXPECT_EQ(list.formula1, "是,否");
  EXPECT_EQ(list.inputTitle, "取整");
  EXPECT_EQ(list.inputMessage, "总分是否取整");
  EXPECT_TRUE(list.ignoreBlank);
  EXPECT_EQ(list.alertStyle, host::kValidAlertStop);
  const host::ValidationRule& whole = entry.Validations()[1];
  EXPECT_EQ(whole.area, (Rect{1, 1, 3, 1}));
  EXPECT_EQ(whole.type, 1);
  EXPECT_EQ(whole.op, 5);
  EXPECT_EQ(whole.alertStyle, 2);
  EXPECT_EQ(whole.formula1, "0");
  EXPECT_FALSE(whole.ignoreBlank);
  EXPECT_EQ(entry.Validations()[2].area, (Rect{5, 5, 5, 5}));
}

TEST(OpenpyxlFileTest, ValuesFormatsAndLayout) {
  auto book = ReadWorkbook(DataFile("openpyxl_styled.xlsx"));
  ASSERT_EQ(book->SheetCount(), 3);
  EXPECT_EQ(book->ModelSheetAt(3).Name(), "FBB");
  EXPECT_EQ(book->ModelSheetAt(3).Visible(), host::kSheetHidden);
  EXPECT_EQ(book->ActiveSheetIndex(), 2);
  ModelWorksheet& sheet = book->ModelSheetAt(1);
  EXPECT_EQ(sheet.CellValue(1, 1), Value("新班级"));
  EXPECT_EQ(sheet.CellValue(3, 3), Value("李四"));
  EXPECT_EQ(sheet.CellValue(2, 5), Value(612.5));
  EXPECT_EQ(sheet.CellValue(2, 7), Value(45170));
  EXPECT_EQ(sheet.CellValue(2, 8), Value(2373));  // a formula saved without its result, computed
  EXPECT_EQ(sheet.CellFormulaR1C1(2, 8), "=SUM(RC[-3]:R[3]C[-3])");
  EXPECT_TRUE(sheet.CellFormat(1, 1).bold);
  EXPECT_EQ(sheet.CellFormat(1, 1).fontColor, 255);
  EXPECT_EQ(sheet.CellFormat(1, 2).fillColorIndex, 35);
  EXPECT_EQ(sheet.CellFormat(1, 3).borders[host::kSideRight], host::kLineDouble);
  EXPECT_EQ(sheet.CellFormat(2, 5).numberFormat, "0.0");
  EXPECT_EQ(sheet.CellFormat(1, 4).horizontalAlignment, host::kAlignCenter);
  EXPECT_GT(sheet.ColumnWidth(3), 11);
  EXPECT_DOUBLE_EQ(sheet.RowHeight(1), 24);
  EXPECT_EQ(sheet.MergedAreas(), (std::vector<Rect>{Rect{7, 1, 7, 5}}));
  EXPECT_EQ(sheet.HPageBreaks(), (std::vector<int32_t>{4}));
  EXPECT_TRUE(sheet.View().freezePanes);
  EXPECT_EQ(sheet.View().splitRow, 2);
  EXPECT_EQ(sheet.View().zoom, 80);
  const host::PageSetupData& setup = sheet.PageSetupValues();
  EXPECT_EQ(setup.printTitleFirstRow, 1);
  EXPECT_EQ(setup.printTitleLastRow, 2);
  EXPECT_EQ(setup.orientation, host::kLandscape);
  EXPECT_EQ(setup.zoom, 90);
  EXPECT_NEAR(setup.topMargin, 30, 1e-6);
  EXPECT_TRUE(setup.centerHorizontally);
  EXPECT_EQ(setup.centerFooter, "&P");
  ASSERT_EQ(sheet.Validations().size(), 1u);
  EXPECT_EQ(sheet.Validations()[0].formula1, "是,否");
  EXPECT_EQ(sheet.Validations()[0].area, (Rect{2, 6, 5, 6}));
}

TEST(LibreOfficeFileTest, ResavedHandmadeWorkbookReadsTheSame) {
  auto book = ReadWorkbook(DataFile("libreoffice_resaved.xlsx"));
  auto original = ReadWorkbook(DataFile("handmade.xlsx"));
  ASSERT_EQ(book->SheetCount(), 3);
  ModelWorksheet& sheet = book->ModelSheetAt(1);
  ModelWorksheet& expected = original->ModelSheetAt(1);
  for (int32_t r = 1; r <= 9; ++r) {
    for (int32_t c = 1; c <= 5; ++c) {
      if (r == 6 && c == 2) continue;  // LibreOffice turns the ISO date cell into text or a number of its own
      EXPECT_EQ(sheet.CellValue(r, c), expected.CellValue(r, c)) << "R" << r << "C" << c;
    }
  }
  EXPECT_EQ(sheet.MergedAreas(), expected.MergedAreas());
  EXPECT_EQ(sheet.CellFormat(2, 2).fillColorIndex, 35);
  EXPECT_TRUE(sheet.CellFormat(2, 2).bold);
  EXPECT_EQ(sheet.HPageBreaks(), expected.HPageBreaks());
  // LibreOffice writes the font into the footer's codes; the centre section is kept as it is.
  EXPECT_NE(sheet.PageSetupValues().centerFooter.find("第&P页"), std::string::npos);
  // LibreOffice itself does not read the prefixed second sheet, so it saved it empty.
}

TEST(UnkeptPartsTest, ChartsCommentsDrawingsAndConditionalFormatsAreListed) {
  auto book = ReadWorkbook(DataFile("with_chart.xlsx"));
  const auto& parts = book->FileOrigin().unkeptParts;
  EXPECT_TRUE(Lists(parts, "图表")) << parts.size();
  EXPECT_TRUE(Lists(parts, "批注"));
  EXPECT_TRUE(Lists(parts, "图形"));
  EXPECT_TRUE(Lists(parts, "条件格式"));
  EXPECT_EQ(book->ModelSheetAt(1).CellValue(1, 1), Value(1));
}

TEST(UnkeptPartsTest, AMacroWorkbookListsItsMacros) {
  auto book = ReadWorkbook(DataFile("macro.xlsm"));
  EXPECT_TRUE(Lists(book->FileOrigin().unkeptParts, "宏"));
  EXPECT_EQ(book->ModelSheetAt(1).CellValue(1, 1), Value(7));
  EXPECT_EQ(book->Name(), "macro.xlsm");
}

TEST(XlsReaderTest, ValuesAndSheetNamesOfAGenuineXlsFile) {
  auto book = ReadWorkbook(DataFile("genuine.xls"));
  EXPECT_TRUE(book->FileOrigin().fromXls);
  ASSERT_EQ(book->SheetCount(), 2);
  EXPECT_EQ(book->ModelSheetAt(1).Name(), "数据表");
  EXPECT_EQ(book->ModelSheetAt(2).Name(), "备注");
  ModelWorksheet& sheet = book->ModelSheetAt(1);
  EXPECT_EQ(sheet.CellValue(1, 1), Value("姓名"));
  EXPECT_EQ(sheet.CellValue(2, 2), Value("男"));
  EXPECT_EQ(sheet.CellValue(2, 3), Value(612.5));
  EXPECT_EQ(sheet.CellValue(3, 3), Value(598));
  EXPECT_EQ(sheet.CellValue(2, 4), Value(45170));  // a date comes back as its serial number
  EXPECT_EQ(sheet.CellFormat(2, 4).numberFormat, "yyyy/m/d");  // and shows as a date
  EXPECT_EQ(sheet.CellFormat(2, 3).numberFormat, "General");
  EXPECT_EQ(book->ModelSheetAt(2).CellValue(3, 2), Value(42));
}

TEST(XlsReaderTest, DatesAndTimesKeepADateFormatAndRoom) {
  auto book = ReadWorkbook(DataFile("dates.xls"));
  ModelWorksheet& sheet = book->ModelSheetAt(1);
  EXPECT_EQ(sheet.CellValue(2, 4), Value(40385));  // 2010-07-26
  EXPECT_DOUBLE_EQ(sheet.CellValue(2, 5).Number(), 46264 + (8 * 3600 + 15 * 60 + 30) / 86400.0);
  EXPECT_DOUBLE_EQ(sheet.CellValue(7, 6).Number(), (12 * 60 + 35) / 1440.0);
  for (int32_t row = 2; row <= 7; ++row) {
    EXPECT_EQ(sheet.CellFormat(row, 4).numberFormat, "yyyy/m/d") << row;
    EXPECT_EQ(sheet.CellFormat(row, 5).numberFormat, "yyyy/m/d h:mm:ss") << row;
    EXPECT_EQ(sheet.CellFormat(row, 6).numberFormat, "h:mm:ss") << row;
    EXPECT_EQ(sheet.CellFormat(row, 3).numberFormat, "General") << row;
  }
  EXPECT_EQ(sheet.CellFormat(1, 4).numberFormat, "General");  // the header is text
  EXPECT_GE(sheet.ColumnWidth(4), 10);
  EXPECT_GE(sheet.ColumnWidth(5), 17);
  EXPECT_LT(sheet.ColumnWidth(3), 10);
}

// Extension lists hold newer features (cross-sheet validation, sparklines,
// conditional formats); they are named as not kept and not read as old ones.
TEST(ExtensionListTest, RecordedNotRead) {
  testing::TempDir dir;
  testing::WritePackage(
      dir.File("ext.xlsx"),
      {"<sheetData><row r=\"1\"><c r=\"A1\"><v>5</v></c></row></sheetData>"
       "<extLst><ext uri=\"{CCE6A557}\"><x14:dataValidations><x14:dataValidation type=\"list\">"
       "<x14:formula1><xm:f>S2!$A$1:$A$3</xm:f></x14:formula1><xm:sqref>B1</xm:sqref></x14:dataValidation>"
       "</x14:dataValidations><extLst><ext/></extLst></ext><ext><x14:sparklineGroups><x14:sparklineGroup/>"
       "</x14:sparklineGroups></ext></extLst>"
       "<rowBreaks><brk id=\"3\" man=\"1\"/></rowBreaks>"});
  auto book = ReadWorkbook(dir.File("ext.xlsx"));
  const auto& parts = book->FileOrigin().unkeptParts;
  EXPECT_TRUE(Lists(parts, "cross-sheet validation"));
  EXPECT_TRUE(Lists(parts, "迷你图"));
  EXPECT_TRUE(book->ModelSheetAt(1).Validations().empty());
  // What follows a nested extension list is read again.
  EXPECT_EQ(book->ModelSheetAt(1).HPageBreaks(), (std::vector<int32_t>{4}));
  EXPECT_EQ(book->ModelSheetAt(1).CellValue(1, 1), Value(5));
}

TEST(OpenpyxlFileTest, AutoFilterAndPrintAreaAreKept) {
  auto book = ReadWorkbook(DataFile("filtered.xlsx"));
  ModelWorksheet& sheet = book->ModelSheetAt(1);
  EXPECT_EQ(sheet.Name(), "Class 'A' list");
  EXPECT_EQ(sheet.AutoFilterArea(), (Rect{1, 1, 4, 3}));
  EXPECT_EQ(sheet.PrintArea(), (Rect{1, 1, 4, 3}));
  EXPECT_EQ(sheet.CellValue(4, 3), Value(587));
  EXPECT_FALSE(book->ModelSheetAt(2).AutoFilterArea());
  EXPECT_FALSE(book->ModelSheetAt(2).PrintArea());
  // openpyxl also writes an empty workbookProtection, which protects nothing.
  EXPECT_EQ(book->FileOrigin().unkeptParts, std::vector<std::string>{});
}

TEST(AutoFilterTest, CriteriaAreNamedAsNotKeptButTheRangeIs) {
  testing::TempDir dir;
  const std::string rows =
      "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\" hidden=\"1\"><c r=\"A2\"><v>2</v>"
      "</c></row></sheetData>";
  testing::WritePackage(
      dir.File("criteria.xlsx"),
      {rows + "<autoFilter ref=\"A1:B9\"><filterColumn colId=\"0\"><filters><filter val=\"1\"/></filters>"
              "</filterColumn></autoFilter>",
       rows + "<autoFilter ref=\"A1:B9\"><filterColumn colId=\"1\" hiddenButton=\"1\"/>"
              "<sortState ref=\"A2:B9\"><sortCondition ref=\"A2:A9\"/></sortState></autoFilter>"});
  auto book = ReadWorkbook(dir.File("criteria.xlsx"));
  EXPECT_EQ(book->ModelSheetAt(1).AutoFilterArea(), (Rect{1, 1, 9, 2}));
  EXPECT_EQ(book->ModelSheetAt(1).RowHeight(2), 0);  // the hidden row stays hidden
  EXPECT_EQ(book->ModelSheetAt(2).AutoFilterArea(), (Rect{1, 1, 9, 2}));
  EXPECT_EQ(book->FileOrigin().unkeptParts, std::vector<std::string>{"自动筛选条件 (filter criteria)"});

  // Without criteria, a button setting and a sort state lose nothing.
  testing::WritePackage(dir.File("plain.xlsx"),
                        {rows + "<autoFilter ref=\"A1:B9\"><filterColumn colId=\"1\" hiddenButton=\"1\"/>"
                                "<sortState ref=\"A2:B9\"><sortCondition ref=\"A2:A9\"/></sortState></autoFilter>"});
  EXPECT_TRUE(ReadWorkbook(dir.File("plain.xlsx"))->FileOrigin().unkeptParts.empty());
}

TEST(AutoFilterTest, AFilterOfACustomViewOrWithoutARangeIsNotKept) {
  testing::TempDir dir;
  testing::WritePackage(dir.File("view.xlsx"),
                        {"<customSheetViews><customSheetView guid=\"{1}\"><autoFilter ref=\"A1:C3\"/>"
                         "</customSheetView></customSheetViews>",
                         "<autoFilter/>"});
  auto book = ReadWorkbook(dir.File("view.xlsx"));
  EXPECT_FALSE(book->ModelSheetAt(1).AutoFilterArea());
  EXPECT_FALSE(book->ModelSheetAt(2).AutoFilterArea());
  EXPECT_TRUE(Lists(book->FileOrigin().unkeptParts, "自动筛选 (auto filter)"));
}

TEST(PrintAreaTest, OneAreaPerSheetIsKeptAndAnythingElseNamed) {
  testing::TempDir dir;
  const std::vector<std::string> sheets(3, "<sheetData/>");
  testing::WritePackage(dir.File("areas.xlsx"), sheets,
                        "<definedNames><definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"0\" "
                        "hidden=\"1\">S1!$A$1:$C$4</definedName><definedName name=\"_xlnm.Print_Area\" "
                        "localSheetId=\"2\">S3!$B$2:$D$40</definedName><definedName name=\"_xlnm.Print_Area\" "
                        "localSheetId=\"1\">S2!$A$1:$B$2</definedName></definedNames>");
  auto book = ReadWorkbook(dir.File("areas.xlsx"));
  EXPECT_FALSE(book->ModelSheetAt(1).PrintArea());
  EXPECT_EQ(book->ModelSheetAt(2).PrintArea(), (Rect{1, 1, 2, 2}));
  EXPECT_EQ(book->ModelSheetAt(3).PrintArea(), (Rect{2, 2, 40, 4}));
  EXPECT_TRUE(book->FileOrigin().unkeptParts.empty());

  const std::vector<std::pair<std::string, std::string>> unkept = {
      {"0", "S1!$A$1:$B$2,S1!$D$1:$E$2"},  // several areas
      {"0", "S2!$A$1:$B$2"},               // another sheet's name
      {"", "S1!$A$1:$B$2"},                // no sheet of its own
  };
  for (const auto& [local, definition] : unkept) {
    const std::string id = local.empty() ? "" : " localSheetId=\"" + local + "\"";
    testing::WritePackage(dir.File("odd.xlsx"), sheets,
                          "<definedNames><definedName name=\"_xlnm.Print_Area\"" + id + ">" + definition +
                              "</definedName></definedNames>");
    auto odd = ReadWorkbook(dir.File("odd.xlsx"));
    EXPECT_FALSE(odd->ModelSheetAt(1).PrintArea()) << definition;
    EXPECT_EQ(odd->FileOrigin().unkeptParts, std::vector<std::string>{"打印区域 (print area)"}) << definition;
  }
}

TEST(WorkbookProtectionTest, NamedOnlyWhenItLocksSomething) {
  testing::TempDir dir;
  const std::vector<std::pair<std::string, bool>> cases = {
      {"<workbookProtection/>", false},
      {"<workbookProtection lockStructure=\"0\"/>", false},
      {"<workbookProtection lockStructure=\"1\"/>", true},
      {"<workbookProtection lockWindows=\"true\"/>", true},
      {"<workbookProtection workbookPassword=\"CC3D\"/>", true},
  };
  for (const auto& [element, named] : cases) {
    testing::WritePackage(dir.File("p.xlsx"), {"<sheetData/>"}, element);
    EXPECT_EQ(Lists(ReadWorkbook(dir.File("p.xlsx"))->FileOrigin().unkeptParts, "工作簿保护"), named) << element;
  }
}

TEST(ReadFromMemoryTest, SameModelAsFromTheFile) {
  const std::string bytes = testing::ReadBytes(DataFile("handmade.xlsx"));
  auto fromMemory = ReadWorkbookFromMemory(bytes.data(), bytes.size(), "handmade.xlsx");
  auto fromFile = ReadWorkbook(DataFile("handmade.xlsx"));
  EXPECT_EQ(testing::DiffText(*fromFile, *fromMemory), "");
  const std::string xls = testing::ReadBytes(DataFile("genuine.xls"));
  auto fromXls = ReadWorkbookFromMemory(xls.data(), xls.size(), "genuine.xls");
  EXPECT_EQ(fromXls->ModelSheetAt(1).CellValue(2, 3), Value(612.5));
}


TEST(ColumnTextTest, EqualTextsDownAColumnShareOneCopy) {
  testing::TempDir dir;
  auto inlineCell = [](const std::string& ref, const std::string& text) {
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
  };
  // Texts too long to be kept inside a value; shorter ones need no sharing.
  const std::string lead = "住校生类别：";
  const std::vector<std::string> columnA = {lead + "男", lead + "女", lead + "男", lead + "其他",
                                            lead + "男", lead + "女", lead + "a&amp;b", lead + "a&amp;b"};
  std::string body = "<sheetData>";
  for (size_t i = 0; i < columnA.size(); ++i) {
    const std::string row = std::to_string(i + 1);
    body += "<row r=\"" + row + "\">" + inlineCell("A" + row, columnA[i]);
    // Column B: the same texts as plain formula results, and a number among them.
    if (i == 3) {
      body += "<c r=\"B" + row + "\"><v>1</v></c>";
    } else {
      body += "<c r=\"B" + row + "\" t=\"str\"><f>A" + row + "</f><v>" + columnA[i] + "</v></c>";
    }
    body += "</row>";
  }
  body += "</sheetData>";
  testing::WritePackage(dir.File("texts.xlsx"), {body});
  auto book = ReadWorkbook(dir.File("texts.xlsx"));
  const ModelWorksheet& sheet = book->ModelSheetAt(1);
  const std::vector<std::string> expected = {lead + "男", lead + "女", lead + "男", lead + "其他",
                                             lead + "男", lead + "女", lead + "a&b",  lead + "a&b"};
  for (size_t i = 0; i < expected.size(); ++i) {
    const auto row = static_cast<int32_t>(i + 1);
    EXPECT_EQ(sheet.CellValue(row, 1), Value(expected[i])) << "A" << row;
    EXPECT_EQ(sheet.CellValue(row, 2), i == 3 ? Value(1) : Value(expected[i])) << "B" << row;
  }
  // 男 at rows 1, 3 and 5 is one text, though 女 and 其他 came between.
  EXPECT_EQ(sheet.CellValue(1, 1).Text().data(), sheet.CellValue(3, 1).Text().data());
  EXPECT_EQ(sheet.CellValue(1, 1).Text().data(), sheet.CellValue(5, 1).Text().data());
  EXPECT_EQ(sheet.CellValue(7, 1).Text().data(), sheet.CellValue(8, 1).Text().data());
  EXPECT_NE(sheet.CellValue(1, 1).Text().data(), sheet.CellValue(2, 1).Text().data());
  EXPECT_EQ(sheet.CellValue(1, 2).Text().data(), sheet.CellValue(3, 2).Text().data());
}

}  // namespace
}  // namespace fenban::files
