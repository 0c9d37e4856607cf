// Checks of the host over IDispatch against the test application: values
// in blocks, what a call costs, formulas, sorts and shifts seen through the
// cache, formats, errors and text across the UTF-16 boundary.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "automation/dispatch_host.h"
#include "bridge/myfb.h"
#include "form/form.h"
#include "host/errors.h"
#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/range.h"
#include "automation/test_application.h"
#include "automation/win_check.h"
#include "support/recording_services.h"

using namespace fenban;
using namespace fenban::automation;
using namespace fenban::automation::testing;

namespace {

// A model with a host workbook "host.xlsm" (sheets "甲", "乙") and the host over it.
struct Fixture {
  fenban::testing::RecordingServices services;
  host::ModelApplication model{services};
  host::ModelWorkbook* book;
  TestWorld world{model};
  IDispatch* ea;
  std::unique_ptr<host::Application> app;
  Fixture() {
    book = &model.AddWorkbook(std::make_unique<host::ModelWorkbook>("host.xlsm", "C:/h"));
    book->AppendSheet("甲");
    book->AppendSheet("乙");
    ea = world.Application();
    app = MakeDispatchApplication(ea, services);
  }
  ~Fixture() {
    app.reset();
    ea->Release();
  }
  host::Worksheet& ModelSheet(const char* name) { return *book->FindSheet(name); }
  host::Worksheet& Sheet(const char* name) { return host::SheetsOf(app->ThisWorkbook())(name); }
  long Calls() const { return const_cast<TestWorld&>(world).Counts().invokes; }
};

void ValuesGoInBlocks() {
  Fixture f;
  host::Worksheet& model = f.ModelSheet("甲");
  for (int32_t r = 1; r <= 2000; ++r) {
    model.SetCellValue(r, 1, r);
    model.SetCellValue(r, 2, "学生" + std::to_string(r));
  }
  model.SetCellValue(3, 3, host::Value::Boolean(true));
  host::Worksheet& sheet = f.Sheet("甲");
  const long before = f.Calls();
  double sum = 0;
  for (int32_t r = 1; r <= 2000; ++r) sum += sheet.CellValue(r, 1).Number();
  CHECK(sum == 2000.0 * 2001 / 2);
  CHECK(sheet.CellValue(2000, 2) == host::Value("学生2000"));
  CHECK(sheet.CellValue(3, 3) == host::Value::Boolean(true));
  CHECK(sheet.CellValue(2001, 1).IsEmpty());
  CHECK(sheet.CellValue(1, 4).IsEmpty());
  // Cells, two Finds and the found cells' Row and Column, the block, its Value and HasFormula.
  CHECK(f.Calls() - before <= 8);

  // 2,000 writes down a column and a header row go back as two Range.Value arrays.
  const long beforeWrites = f.Calls();
  for (int32_t r = 2; r <= 2001; ++r) sheet.SetCellValue(r, 5, r % 7);
  for (int32_t c = 5; c <= 7; ++c) sheet.SetCellValue(1, c, "列" + std::to_string(c));
  CHECK(f.Calls() == beforeWrites);           // nothing sent yet
  CHECK(model.CellValue(2, 5).IsEmpty());
  CHECK(sheet.CellValue(2001, 5) == host::Value(2001 % 7));  // but read back from the cache
  f.app->CompleteWrites();
  // Range + Value for each block, and the header's NumberFormat: "列5" holds a digit.
  CHECK(f.Calls() - beforeWrites == 5);
  CHECK(model.CellValue(2001, 5) == host::Value(2001 % 7));
  CHECK(model.CellValue(1, 6) == host::Value("列6"));
  CHECK(model.CellValue(1, 8).IsEmpty());
  CHECK(model.CellValue(2, 6).IsEmpty());     // no cell outside the written ones was touched
}

void TextCrossesUtf16BothWays() {
  Fixture f;
  const std::string texts[] = {"张三", "𠮷野家", "a\u00A0b\u3000c", "", "TRUE", "0012"};
  host::Worksheet& sheet = f.Sheet("乙");
  for (int32_t i = 0; i < 6; ++i) sheet.SetCellValue(i + 1, 1, host::Value(texts[i]));
  f.app->CompleteWrites();
  host::Worksheet& model = f.ModelSheet("乙");
  // An empty text empties the cell, in the sheet and in what we read back.
  const auto expected = [&](int32_t i) { return texts[i].empty() ? host::Value() : host::Value(texts[i]); };
  for (int32_t i = 0; i < 6; ++i) CHECK(model.CellValue(i + 1, 1) == expected(i));
  for (int32_t i = 0; i < 6; ++i) CHECK(sheet.CellValue(i + 1, 1) == expected(i));
  // A second host reads them back as they are (texts stay texts).
  auto again = MakeDispatchApplication(f.ea, f.services);
  host::Worksheet& read = host::SheetsOf(again->ThisWorkbook())("乙");
  for (int32_t i = 0; i < 6; ++i) CHECK(read.CellValue(i + 1, 1) == expected(i));
  CHECK(read.Name() == "乙");
}

void ChangesByTheApplicationAreReadAfresh() {
  Fixture f;
  host::Worksheet& sheet = f.Sheet("甲");
  // Header and three rows, written through the cache, then sorted by the application.
  const char* names[] = {"姓名", "乙", "甲", "丙"};
  const double totals[] = {0, 500, 600, 550};
  sheet.SetCellValue(1, 1, "姓名");
  sheet.SetCellValue(1, 2, "总分");
  for (int32_t r = 2; r <= 4; ++r) {
    sheet.SetCellValue(r, 1, names[r - 1]);
    sheet.SetCellValue(r, 2, totals[r - 1]);
  }
  const host::Range table = sheet.Cells(1, 1).CurrentRegion();  // sends the writes first
  CHECK(table.Area() == (host::Rect{1, 1, 4, 2}));
  table.Sort(sheet.Cells(1, 2), host::kDescending, host::kHeaderYes);
  CHECK(sheet.CellValue(2, 1) == host::Value("甲"));
  CHECK(sheet.CellValue(4, 1) == host::Value("乙"));
  // A formula is computed at once and can be frozen as its value.
  sheet.SetCellValue(5, 2, 1);
  const host::Range sum = sheet.Cells(6, 2);
  sum.SetFormulaR1C1("=SUM(R[-4]C:R[-1]C)");
  CHECK(sum.GetValue() == host::Value(1651));
  CHECK(sum.FormulaR1C1() == "=SUM(R[-4]C:R[-1]C)");
  sum.SetValue(sum.GetValue());
  f.app->CompleteWrites();
  CHECK(f.ModelSheet("甲").CellFormulaR1C1(6, 2).empty());
  CHECK(f.ModelSheet("甲").CellValue(6, 2) == host::Value(1651));
  // Deleting row 2 with a shift up moves what the cache holds.
  sheet.GetRange("A2:B2").Delete(host::kShiftUp);
  CHECK(sheet.CellValue(2, 1) == host::Value("丙"));
  CHECK(sheet.CellValue(5, 2) == host::Value(1651));
  // Insert shifts down.
  sheet.GetRange("A2:B2").Insert(host::kShiftDown);
  CHECK(sheet.CellValue(2, 1).IsEmpty());
  CHECK(sheet.CellValue(3, 1) == host::Value("丙"));
  // Replace of a part of a text.
  CHECK(sheet.Cells(1, 1).CurrentRegion().Replace("姓", "X", host::kLookAtPart));
  CHECK(sheet.CellValue(1, 1) == host::Value("X名"));
}

void FormulasLeftInPlaceAreReadAfterTheirInputsChange() {
  Fixture f;
  host::Worksheet& model = f.ModelSheet("甲");
  model.SetCellValue(1, 1, 2);
  model.SetFormulaR1C1(host::Rect{1, 2, 1, 2}, "=RC[-1]*10");
  host::Worksheet& sheet = f.Sheet("甲");
  CHECK(sheet.CellValue(1, 2) == host::Value(20));
  sheet.SetCellValue(1, 1, 3);
  sheet.Cells(5, 5).Clear();  // any call on the application sends the write first
  CHECK(model.CellValue(1, 1) == host::Value(3));
  // The application recalculates the formula; what we knew of its sheet is read afresh.
  model.SetCellValue(1, 2, 30);
  CHECK(sheet.CellValue(1, 2) == host::Value(30));
  // A sheet without formulas keeps its values across writes elsewhere.
  host::Worksheet& other = f.Sheet("乙");
  CHECK(other.CellValue(1, 1).IsEmpty());
  const long before = f.Calls();
  sheet.SetCellValue(2, 1, 4);
  f.app->CompleteWrites();
  CHECK(other.CellValue(1, 1).IsEmpty());
  CHECK(f.Calls() - before == 2);
}

void CopiesPastesAndSheets() {
  Fixture f;
  host::Worksheet& a = f.Sheet("甲");
  host::Worksheet& b = f.Sheet("乙");
  a.SetCellValue(1, 1, 5);
  a.Cells(1, 2).SetFormulaR1C1("=RC[-1]+1");
  a.GetRange("A1:B1").Copy(b.Cells(3, 1));
  CHECK(b.CellValue(3, 2) == host::Value(6));
  CHECK(f.ModelSheet("乙").CellFormulaR1C1(3, 2) == "=RC[-1]+1");
  a.GetRange("A1:B1").Copy();
  b.Cells(4, 1).PasteSpecial(host::kPasteValues);
  CHECK(b.CellValue(4, 2) == host::Value(6));
  CHECK(f.ModelSheet("乙").CellFormulaR1C1(4, 2).empty());
  // Adding after a sheet, renaming, finding by exact name, deleting.
  host::Workbook& book = f.app->ThisWorkbook();
  host::Worksheet& added = host::SheetsOf(book).Add(a);
  added.SetName("统计表1");
  CHECK(f.book->ModelSheetAt(2).Name() == "统计表1");
  CHECK(&f.app->ActiveSheet() == &added);
  CHECK(book.FindSheet("统计表1") == &added);
  CHECK(book.FindSheet("统计表2") == nullptr);
  bool raised9 = false;
  try {
    host::SheetsOf(book)("没有");
  } catch (const host::RuntimeError& e) {
    raised9 = e.Number() == host::kErrSubscript;
  }
  CHECK(raised9);
  added.Delete();
  CHECK(f.book->SheetCount() == 2);
  CHECK(book.FindSheet("统计表1") == nullptr);
}

void FormatsAndErrorsComeFromTheApplication() {
  Fixture f;
  host::Worksheet& sheet = f.Sheet("甲");
  const host::Range area = sheet.GetRange("B2:D4");
  area.GetBorders().SetLineStyle(host::kLineContinuous);
  area.GetBorders(host::kInsideVertical).SetLineStyle(host::kLineDouble);
  area.GetFont().SetBold(true);
  area.GetInterior().SetColorIndex(35);
  area.SetHorizontalAlignment(host::kAlignCenter);
  area.SetNumberFormatLocal("0.00");
  const host::CellStyle style = f.ModelSheet("甲").CellFormat(3, 3);
  CHECK(style.bold && style.fillColorIndex == 35 && style.horizontalAlignment == host::kAlignCenter);
  CHECK(style.numberFormat == "0.00");
  CHECK(style.borders[host::kSideLeft] == host::kLineDouble && style.borders[host::kSideTop] == host::kLineContinuous);
  CHECK(sheet.CellFormat(3, 3) == style);  // read back member by member
  CHECK(sheet.NumberFormatOf(host::Rect{2, 2, 4, 4}).value_or("") == "0.00");
  CHECK(!sheet.NumberFormatOf(host::Rect{2, 2, 4, 5}).has_value());  // column E is still General
  // A generic format change is sent as the members it sets.
  sheet.Format(host::Rect{1, 1, 1, 1}, [](host::CellStyle& s) {
    s.fontSize = 14;
    s.wrapText = true;
  });
  const host::CellStyle a1 = f.ModelSheet("甲").CellFormat(1, 1);
  CHECK(a1.fontSize == 14 && a1.wrapText && !a1.bold);
  bool refused = false;
  try {
    sheet.Format(host::Rect{1, 1, 1, 1}, [](host::CellStyle& s) { s.borders[0] = host::kLineContinuous; });
  } catch (const host::RuntimeError& e) {
    refused = e.Number() == host::kErrHost;
  }
  CHECK(refused);
  // The application's own refusal arrives with its number and description.
  bool host1004 = false;
  try {
    area.GetFont().SetSize(500);
  } catch (const host::RuntimeError& e) {
    host1004 = e.Number() == host::kErrHost;
  }
  CHECK(host1004);
  bool sheetName = false;
  try {
    sheet.SetName("坏:名");
  } catch (const host::RuntimeError& e) {
    sheetName = e.Number() == host::kErrHost && !e.Description().empty();
  }
  CHECK(sheetName);
  CHECK(sheet.Name() == "甲");
}

void DispIdsAreLookedUpOncePerKind() {
  Fixture f;
  host::Worksheet& sheet = f.Sheet("甲");
  for (int32_t i = 1; i <= 50; ++i) sheet.Cells(i, 1).GetFont().SetBold(true);
  // Range, Font, Bold: three names, however many calls.
  const long lookups = f.world.Counts().lookups;
  for (int32_t i = 1; i <= 50; ++i) sheet.Cells(i, 2).GetFont().SetBold(true);
  CHECK(f.world.Counts().lookups == lookups);
}

// A call the application refuses with error 13 ends the command in the one
// error box; the writes made before it still reach the sheet, and alerts and
// screen updating are on again.
void AFailingCallEndsInTheErrorBox() {
  Fixture f;
  host::Worksheet& entry = f.book->AppendSheet("登记表");
  f.world.Counts().faultMember = L"Validation.Add";
  f.world.Counts().faultNumber = host::kErrTypeMismatch;
  form::FormModel form;
  bridge::myfb fb;
  fb.MyFun(*f.app, form, "cmdDengJiClick");
  CHECK(f.services.messages.size() == 1);
  if (f.services.messages.size() == 1) {
    const auto& box = f.services.messages[0];
    CHECK(box.title == "错误");
    CHECK(box.style == host::kMsgCritical);
    CHECK(box.prompt.rfind("错误[13]\r", 0) == 0);
  }
  CHECK(f.model.DisplayAlerts());
  CHECK(f.model.ScreenUpdating());
  CHECK(entry.CellValue(1, 1) == host::Value("【学科名登记列】"));
  CHECK(entry.CellValue(21, 1) == host::Value("【结束】"));
  CHECK(entry.ValidationAt(2, 3) == nullptr);
  // An event name that matches nothing runs nothing and shows nothing.
  f.world.Counts().faultMember.clear();
  f.world.Counts().Reset();
  fb.MyFun(*f.app, form, "cmdfenbanclick");
  CHECK(f.services.messages.size() == 1);
  CHECK(f.world.Counts().byMember.size() == 2);  // DisplayAlerts and ScreenUpdating only
  CHECK(f.model.DisplayAlerts() && f.model.ScreenUpdating());
}

}  // namespace

// Texts the application would enter as numbers or dates arrive as the texts
// they are: with an apostrophe, or as they stand in a cell formatted "@".
void TextsStayTexts() {
  Fixture f;
  host::Worksheet& model = f.ModelSheet("甲");
  model.SetNumberFormatLocal(host::Rect{1, 2, 6, 2}, "@");
  host::Worksheet& sheet = f.Sheet("甲");
  const std::string texts[] = {"000993", "110101199001011234", "11010119900101123X", "2024-9", "TRUE", "'引号"};
  for (int32_t i = 0; i < 6; ++i) {
    sheet.SetCellValue(i + 1, 1, host::Value(texts[i]));
    sheet.SetCellValue(i + 1, 2, host::Value(texts[i]));
  }
  sheet.SetCellValue(7, 1, 993);
  f.app->CompleteWrites();
  for (int32_t i = 0; i < 6; ++i) {
    CHECK(model.CellValue(i + 1, 1) == host::Value(texts[i]));
    CHECK(model.CellValue(i + 1, 2) == host::Value(texts[i]));
  }
  CHECK(model.CellValue(7, 1) == host::Value(993));
}

// Replacing spaces gives every cell the value the embedded model's Replace
// gives it, though the application would enter each changed cell as typed.
void ReplaceGivesTheModelsValues() {
  Fixture f;
  host::ModelWorkbook reference("ref.xlsx", "C:/h");
  host::Worksheet& expected = reference.AppendSheet("甲");
  host::Worksheet& model = f.ModelSheet("甲");
  const std::string texts[] = {"000993 ", "110101199001011234 ", "11010119900101123X ", " 300", "张 三", "2024 -9",
                               "000994 ", "abc"};
  for (host::Worksheet* s : {&expected, &model}) {
    for (int32_t i = 0; i < 8; ++i) s->SetCellValue(i + 1, 1, host::Value(texts[i]));
    s->SetCellValue(9, 1, 85.5);
    s->SetNumberFormatLocal(host::Rect{7, 1, 7, 1}, "@");
  }
  host::Worksheet& sheet = f.Sheet("甲");
  const bool changed = sheet.GetRange("A1:A9").Replace(" ", "", host::kLookAtPart);
  CHECK(changed == expected.Replace(host::Rect{1, 1, 9, 1}, " ", "", host::kLookAtPart));
  f.app->CompleteWrites();
  for (int32_t r = 1; r <= 9; ++r) {
    CHECK(model.CellValue(r, 1) == expected.CellValue(r, 1));
    CHECK(sheet.CellValue(r, 1) == expected.CellValue(r, 1));
  }
  CHECK(model.CellValue(7, 1) == host::Value("000994"));  // "@" keeps the text
  CHECK(!sheet.GetRange("A1:A9").Replace("#", "", host::kLookAtPart));
}

// A sort puts the rows in the embedded model's order (code points: 男 above
// 女 descending), not the application's pinyin order; formats go with rows.
void SortsInTheModelsOrder() {
  Fixture f;
  host::Worksheet& model = f.ModelSheet("甲");
  const char* sexes[] = {"性别", "女", "男", "女", "男"};
  for (int32_t r = 1; r <= 5; ++r) {
    model.SetCellValue(r, 1, sexes[r - 1]);
    model.SetCellValue(r, 2, r == 1 ? host::Value("考号") : host::Value("00" + std::to_string(r)));
  }
  model.Format(host::Rect{2, 2, 2, 2}, [](host::CellStyle& s) { s.bold = true; });
  host::Worksheet& sheet = f.Sheet("甲");
  sheet.Cells(1, 1).CurrentRegion().Sort(sheet.Cells(1, 1), host::kDescending, host::kHeaderYes);
  f.app->CompleteWrites();
  const char* sorted[] = {"性别", "男", "男", "女", "女"};
  const char* numbers[] = {"考号", "003", "005", "002", "004"};
  for (int32_t r = 1; r <= 5; ++r) {
    CHECK(model.CellValue(r, 1) == host::Value(sorted[r - 1]));
    CHECK(model.CellValue(r, 2) == host::Value(numbers[r - 1]));
    CHECK(sheet.CellValue(r, 2) == host::Value(numbers[r - 1]));
  }
  CHECK(model.CellFormat(4, 2).bold);
}

// A formatted cell in the sheet's last row makes the used range whole
// columns ("$A:$C"); the sheet is read as far as its contents go, and its
// used rectangle is that of its values.
void ContentsNotTheUsedRangeBoundTheSheet() {
  Fixture f;
  host::Worksheet& model = f.ModelSheet("甲");
  model.SetCellValue(2, 2, "x");
  model.SetCellValue(4, 3, 45536);
  model.SetNumberFormatLocal(host::Rect{4, 3, 4, 3}, "yyyy/m/d");
  model.SetCellValue(3, 3, 12.5);
  model.SetNumberFormatLocal(host::Rect{3, 3, 3, 3}, "\xC2\xA5#,##0.00");
  model.Format(host::Rect{host::kMaxRows, 1, host::kMaxRows, 1}, [](host::CellStyle& s) { s.bold = true; });
  model.Format(host::Rect{10, 1, 20, 3}, [](host::CellStyle& s) { s.borders = {1, 1, 1, 1}; });
  host::Worksheet& sheet = f.Sheet("甲");
  CHECK(sheet.UsedRect() == (host::Rect{2, 2, 4, 3}));
  CHECK(sheet.CellValue(4, 3) == host::Value(45536));  // a Date read as its serial number
  CHECK(sheet.CellValue(3, 3) == host::Value(12.5));   // a Currency as its number
  CHECK(sheet.CellValue(2, 2) == host::Value("x"));
  CHECK(sheet.Cells(2, 2).CurrentRegion().Area() == (host::Rect{2, 2, 4, 3}));
}

// Page set-up runs with the printer talk off and switches it back on; a host
// without the switch sets the page all the same.
void PageSetupWithoutPrinterTalk() {
  for (bool hasSwitch : {true, false}) {
    Fixture f;
    f.world.SetHasPrintCommunication(hasSwitch);
    host::Worksheet& sheet = f.Sheet("甲");
    host::PageSetup& page = sheet.GetPageSetup();
    page.SetZoom(80);
    page.SetTopMargin(30);
    page.SetOrientation(2);
    CHECK(!hasSwitch || !f.world.PrintCommunication());
    sheet.SetCellValue(1, 1, 1);
    CHECK(sheet.CellValue(1, 1) == host::Value(1));
    f.app->CompleteWrites();
    CHECK(f.world.PrintCommunication());
    CHECK(f.world.Counts().slowCalls == (hasSwitch ? 0 : 3));
    CHECK(dynamic_cast<host::ModelWorksheet&>(f.ModelSheet("甲")).PageSetupValues().zoom == 80);
  }
}

int wmain(int, wchar_t**) {
  CoInitialize(nullptr);
  TextsStayTexts();
  ReplaceGivesTheModelsValues();
  SortsInTheModelsOrder();
  ContentsNotTheUsedRangeBoundTheSheet();
  PageSetupWithoutPrinterTalk();
  ValuesGoInBlocks();
  TextCrossesUtf16BothWays();
  ChangesByTheApplicationAreReadAfresh();
  FormulasLeftInPlaceAreReadAfterTheirInputsChange();
  CopiesPastesAndSheets();
  FormatsAndErrorsComeFromTheApplication();
  DispIdsAreLookedUpOncePerKind();
  AFailingCallEndsInTheErrorBox();
  CoUninitialize();
  return wincheck::Summary("dispatch_host_test");
}
