// The test application behaves as a real spreadsheet program is documented
// to behave where that is unkind to a server: these checks drive it by
// name through IDispatch, as the server does, and look at the cells left in
// the embedded model underneath.
//   test_application_test [DLL]
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "automation/dispatch_call.h"
#include "automation/test_application.h"
#include "automation/win_check.h"
#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "real_program_rules.h"
#include "support/recording_services.h"

using namespace fenban;
using namespace fenban::automation;
using namespace fenban::automation::testing;

namespace {

struct Fixture {
  fenban::testing::RecordingServices services;
  host::ModelApplication model{services};
  host::ModelWorksheet* sheet;
  TestWorld world{model};
  DispIdCache ids;
  DispatchCaller call{ids};
  Dispatch application;
  Dispatch worksheet;
  Fixture() {
    auto& book = model.AddWorkbook(std::make_unique<host::ModelWorkbook>("host.xlsm", "C:/h"));
    sheet = &book.AppendSheet("甲");
    application = Dispatch::Adopt(world.Application());
    worksheet = Dispatch::Adopt(world.SheetObject(*sheet));
  }
  Dispatch Range(const char* address) { return call.GetObject(worksheet.Get(), "Worksheet", L"Range", {Variant::Text(address)}); }
  void Put(const char* address, Variant value) { call.Put(Range(address).Get(), "Range", L"Value", std::move(value)); }
  std::string Address(const Dispatch& range) { return ToText(call.Get(range.Get(), "Range", L"Address").Raw()); }
  std::string UsedAddress() { return Address(call.GetObject(worksheet.Get(), "Worksheet", L"UsedRange")); }
};

// Range.Value with a String is typed entry: leading zeros, digits past the
// 15th, dates and percentages change; an apostrophe or the "@" format keeps the text.
void StringsAreEnteredAsTyped() {
  Fixture f;
  f.Put("A1", Variant::Text("000993"));
  CHECK(f.sheet->CellValue(1, 1) == host::Value(993));
  f.Put("A2", Variant::Text("110101199001011234"));
  CHECK(f.sheet->CellValue(2, 1) == host::Value(110101199001011000.0));
  f.Put("A3", Variant::Text("11010119900101123X"));
  CHECK(f.sheet->CellValue(3, 1) == host::Value("11010119900101123X"));
  f.Put("A4", Variant::Text("2024-9"));
  CHECK(f.sheet->CellValue(4, 1) == host::Value(45536));  // 2024-09-01
  CHECK(KindOfNumberFormat(f.sheet->CellFormat(4, 1).numberFormat) == FormatKind::Date);
  f.Put("A5", Variant::Text("85%"));
  CHECK(f.sheet->CellValue(5, 1) == host::Value(0.85));
  f.Put("A6", Variant::Text("'000993"));
  CHECK(f.sheet->CellValue(6, 1) == host::Value("000993"));
  f.Put("A7", Variant::Text(" 1,234 "));
  CHECK(f.sheet->CellValue(7, 1) == host::Value(1234));
  f.Put("A8", Variant::Text("true"));
  CHECK(f.sheet->CellValue(8, 1) == host::Value::Boolean(true));
  f.Put("A9", Variant::Text("张三"));
  CHECK(f.sheet->CellValue(9, 1) == host::Value("张三"));
  f.sheet->SetNumberFormatLocal(host::Rect{10, 1, 10, 1}, "@");
  f.Put("A10", Variant::Text("000993"));
  CHECK(f.sheet->CellValue(10, 1) == host::Value("000993"));
  f.Put("A11", Variant::Double(12.5));  // a number stays the number
  CHECK(f.sheet->CellValue(11, 1) == host::Value(12.5));
}

// Range.Replace enters each changed cell again as typed.
void ReplaceEntersChangedCellsAsTyped() {
  Fixture f;
  f.sheet->SetCellValue(1, 1, "000993 ");
  f.sheet->SetCellValue(2, 1, "110101199001011234 ");
  f.sheet->SetCellValue(3, 1, "张 三");
  f.sheet->SetCellValue(4, 1, "000994 ");
  f.sheet->SetNumberFormatLocal(host::Rect{4, 1, 4, 1}, "@");
  const Variant changed = f.call.Call(f.Range("A1:A4").Get(), "Range", L"Replace", {},
                                      {NamedArg{L"What", Variant::Text(" ")}, NamedArg{L"Replacement", Variant::Text("")},
                                       NamedArg{L"LookAt", Variant::Long(2)}});
  CHECK(ToValue(changed.Raw()) == host::Value::Boolean(true));
  CHECK(f.sheet->CellValue(1, 1) == host::Value(993));
  CHECK(f.sheet->CellValue(2, 1) == host::Value(110101199001011000.0));
  CHECK(f.sheet->CellValue(3, 1) == host::Value("张三"));
  CHECK(f.sheet->CellValue(4, 1) == host::Value("000994"));
}

// Range.Value returns a Date under a date format and a Currency under a
// currency format; Value2 gives both as Doubles.
void ValueReturnsDatesAndCurrency() {
  Fixture f;
  f.sheet->SetCellValue(1, 1, 45536);
  f.sheet->SetNumberFormatLocal(host::Rect{1, 1, 1, 1}, "yyyy/m/d");
  f.sheet->SetCellValue(1, 2, 12.5);
  f.sheet->SetNumberFormatLocal(host::Rect{1, 2, 1, 2}, "\xC2\xA5#,##0.00");
  f.sheet->SetCellValue(1, 3, 7);
  const Variant date = f.call.Get(f.Range("A1").Get(), "Range", L"Value");
  CHECK(BaseType(date.Raw()) == VT_DATE && date.Raw().date == 45536);
  const Variant money = f.call.Get(f.Range("B1").Get(), "Range", L"Value");
  CHECK(BaseType(money.Raw()) == VT_CY && money.Raw().cyVal.int64 == 125000);
  CHECK(BaseType(f.call.Get(f.Range("C1").Get(), "Range", L"Value").Raw()) == VT_R8);
  CHECK(BaseType(f.call.Get(f.Range("A1").Get(), "Range", L"Value2").Raw()) == VT_R8);
  // And in a block, element by element.
  const Variant block = f.call.Get(f.Range("A1:C1").Get(), "Range", L"Value");
  LONG index[2] = {1, 1};
  Variant first;
  CHECK(SUCCEEDED(SafeArrayGetElement(block.Raw().parray, index, first.Out())) && first.Raw().vt == VT_DATE);
}

// Range.Sort orders Chinese text by pinyin unless told otherwise: 男 (nán)
// before 女 (nǚ) ascending, the reverse of code point order; letter case is ignored.
void SortUsesPinyin() {
  Fixture f;
  const char* keys[] = {"性别", "女", "男", "女", "男"};
  for (int32_t r = 1; r <= 5; ++r) {
    f.sheet->SetCellValue(r, 1, keys[r - 1]);
    f.sheet->SetCellValue(r, 2, r);
  }
  f.sheet->Format(host::Rect{2, 2, 2, 2}, [](host::CellStyle& s) { s.bold = true; });
  const Dispatch key = f.Range("A1");
  f.call.Call(f.Range("A1:B5").Get(), "Range", L"Sort", {},
              {NamedArg{L"Key1", Variant::Dispatch(key.Get())}, NamedArg{L"Order1", Variant::Long(1)},
               NamedArg{L"Header", Variant::Long(1)}});
  CHECK(f.sheet->CellValue(2, 1) == host::Value("男") && f.sheet->CellValue(2, 2) == host::Value(3));
  CHECK(f.sheet->CellValue(3, 2) == host::Value(5));
  CHECK(f.sheet->CellValue(4, 1) == host::Value("女") && f.sheet->CellValue(4, 2) == host::Value(2));
  CHECK(f.sheet->CellFormat(4, 2).bold);  // the format went with its row
  CHECK(f.sheet->CellValue(1, 1) == host::Value("性别"));
  CHECK(ComparePinyin(host::Value("abc"), host::Value("ABD"), false) < 0);
  CHECK(ComparePinyin(host::Value("Z"), host::Value("a"), true) < 0);
  CHECK(ComparePinyin(host::Value(5), host::Value("0"), false) < 0);  // numbers before texts
  bool refused = false;
  try {
    ComparePinyin(host::Value("龘"), host::Value("男"), false);
  } catch (const host::RuntimeError&) {
    refused = true;  // a character the table lacks is not guessed
  }
  CHECK(refused);
}

// UsedRange counts formatted cells and cells once used, and does not start
// at A1 unless A1 was used; whole columns and rows read "$A:$C", "$2:$3".
void UsedRangeKeepsWhatWasUsed() {
  Fixture f;
  CHECK(f.UsedAddress() == "$A$1");
  f.sheet->SetCellValue(3, 2, "x");
  f.sheet->Format(host::Rect{7, 4, 7, 4}, [](host::CellStyle& s) { s.bold = true; });
  CHECK(f.UsedAddress() == "$B$3:$D$7");
  f.call.Call(f.Range("B3").Get(), "Range", L"Clear");
  CHECK(f.UsedAddress() == "$B$3:$D$7");
  f.sheet->Format(host::Rect{host::kMaxRows, 3, host::kMaxRows, 3}, [](host::CellStyle& s) { s.bold = true; });
  f.sheet->SetCellValue(1, 1, 1);
  CHECK(f.UsedAddress() == "$A:$D");
  CHECK(RealAddress(host::Rect{2, 1, 3, host::kMaxColumns}) == "$2:$3");
  CHECK(RealAddress(host::Rect{1, 1, host::kMaxRows, host::kMaxColumns}) == "$1:$1048576");
}

// Range.Find("*") backwards from the first cell finds the last cell with
// contents by rows or by columns; Nothing on an empty sheet.
void FindLooksAtContents() {
  Fixture f;
  const Dispatch cells = f.call.GetObject(f.worksheet.Get(), "Worksheet", L"Cells");
  const auto find = [&](int32_t order) {
    return f.call.Call(cells.Get(), "Range", L"Find", {},
                       {NamedArg{L"What", Variant::Text("*")}, NamedArg{L"SearchOrder", Variant::Long(order)},
                        NamedArg{L"SearchDirection", Variant::Long(2)}});
  };
  CHECK(TakeDispatch(find(1).Raw()) == nullptr);
  f.sheet->SetCellValue(5, 2, 1);
  f.sheet->SetCellValue(2, 6, 1);
  f.sheet->Format(host::Rect{9, 9, 9, 9}, [](host::CellStyle& s) { s.bold = true; });
  const Dispatch byRows = Dispatch::Adopt(TakeDispatch(find(1).Raw()));
  CHECK(byRows && f.Address(byRows) == "$B$5");
  const Dispatch byColumns = Dispatch::Adopt(TakeDispatch(find(2).Raw()));
  CHECK(byColumns && f.Address(byColumns) == "$F$2");
}

// PageSetup calls are slow while the application talks to the printer.
void PageSetupIsSlowUnlessPrinterTalkIsOff() {
  Fixture f;
  const Dispatch page = f.call.GetObject(f.worksheet.Get(), "Worksheet", L"PageSetup");
  f.call.Put(page.Get(), "PageSetup", L"Zoom", Variant::Long(80));
  CHECK(f.world.Counts().slowCalls == 1);
  f.call.Put(f.application.Get(), "Application", L"PrintCommunication", Variant::Bool(false));
  f.call.Put(page.Get(), "PageSetup", L"Orientation", Variant::Long(2));
  CHECK(f.world.Counts().slowCalls == 1);
  f.world.SetHasPrintCommunication(false);
  bool refused = false;
  try {
    f.call.Put(f.application.Get(), "Application", L"PrintCommunication", Variant::Bool(true));
  } catch (const host::RuntimeError& e) {
    refused = e.Number() == 438;
  }
  CHECK(refused);
}

}  // namespace

int wmain(int, wchar_t**) {
  CoInitialize(nullptr);
  StringsAreEnteredAsTyped();
  ReplaceEntersChangedCellsAsTyped();
  ValueReturnsDatesAndCurrency();
  SortUsesPinyin();
  UsedRangeKeepsWhatWasUsed();
  FindLooksAtContents();
  PageSetupIsSlowUnlessPrinterTalkIsOff();
  CoUninitialize();
  return wincheck::Summary("test_application_test");
}
