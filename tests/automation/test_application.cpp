#include "test_application.h"

#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/com_text.h"
#include "automation/value_array.h"
#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/range.h"
#include "host/rect.h"
#include "host/typed_entry.h"
#include "host/workbook.h"
#include "real_program_rules.h"

namespace fenban::automation::testing {

namespace {

// A new object handed out as a Variant; the Variant takes our one reference.
Variant Hand(IDispatch* fresh) {
  Variant v = Variant::Dispatch(fresh);
  fresh->Release();
  return v;
}

[[noreturn]] void ReadOnly() { host::Raise(host::kErrHost, "该属性只读"); }

// A 2-D array of Variants, 1-based, stored column after column as the
// application stores Range.Value. Written through the array's memory, apart
// from the host's element calls on purpose: had the host the layout wrong,
// the two would disagree and the workflow's sheets would differ.
Variant ValueArray(const host::Rect& area, Variant (*read)(const host::Worksheet&, int32_t, int32_t),
                   const host::Worksheet& sheet) {
  SAFEARRAY* array = NewValueArray(area.Rows(), area.Columns());
  VARIANT* data = nullptr;
  SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
  const size_t rows = static_cast<size_t>(area.Rows());
  for (int32_t c = area.col1; c <= area.col2; ++c) {
    for (int32_t r = area.row1; r <= area.row2; ++r) {
      Variant cell = read(sheet, r, c);
      data[static_cast<size_t>(c - area.col1) * rows + static_cast<size_t>(r - area.row1)] = cell.Raw();
      VariantInit(&cell.Raw());
    }
  }
  SafeArrayUnaccessData(array);
  Variant v;
  v.Raw().vt = VT_ARRAY | VT_VARIANT;
  v.Raw().parray = array;
  return v;
}

// Range.Value of a cell: a number under a date format is a Date, under a
// currency format a Currency (Range.Value2 would give both as Doubles).
Variant CellValueOf(const host::Worksheet& sheet, int32_t r, int32_t c) {
  const host::Value& value = sheet.CellValue(r, c);
  Variant v(value);
  if (!value.IsNumber()) return v;
  switch (KindOfNumberFormat(sheet.CellFormat(r, c).numberFormat)) {
    case FormatKind::Date:
      v.Raw().vt = VT_DATE;
      v.Raw().date = value.Number();
      break;
    case FormatKind::Currency:
      v.Raw().vt = VT_CY;
      v.Raw().cyVal.int64 = std::llround(value.Number() * 10000);
      break;
    case FormatKind::Plain: break;
  }
  return v;
}

Variant CellValue2Of(const host::Worksheet& sheet, int32_t r, int32_t c) { return Variant(sheet.CellValue(r, c)); }

// FormulaR1C1 of a cell: its formula, else its value as text.
Variant FormulaOf(const host::Worksheet& sheet, int32_t r, int32_t c) {
  const std::string formula = sheet.CellFormulaR1C1(r, c);
  if (!formula.empty()) return Variant::Text(formula);
  return Variant::Text(sheet.CellValue(r, c).ToText());
}

void SetNumberFormat(host::Worksheet& sheet, int32_t r, int32_t c, const std::string& format) {
  sheet.Format(host::Rect{r, c, r, c}, [&format](host::CellStyle& s) { s.numberFormat = format; });
}

// A value written to a cell through Range.Value: a String is entered as if
// typed unless the cell is formatted "@"; a Date or Currency gives the cell
// a format of its kind when it has none.
void Enter(host::Worksheet& sheet, int32_t r, int32_t c, const VARIANT& given) {
  const VARIANT& v = Unwrap(given);
  const VARTYPE type = BaseType(v);
  const std::string format = sheet.CellFormat(r, c).numberFormat;
  if (type == VT_BSTR) {
    const std::string text = ToText(v);
    if (host::IsTextFormat(format)) {
      sheet.SetCellValue(r, c, text.empty() ? host::Value() : host::Value(text));
      return;
    }
    const TypedEntryResult entry = EnterAsTyped(text);
    sheet.SetCellValue(r, c, entry.value);
    if (!entry.numberFormat.empty()) SetNumberFormat(sheet, r, c, entry.numberFormat);
    return;
  }
  sheet.SetCellValue(r, c, ToValue(v));
  if (type == VT_DATE && KindOfNumberFormat(format) != FormatKind::Date) SetNumberFormat(sheet, r, c, "yyyy/m/d");
  if (type == VT_CY && KindOfNumberFormat(format) != FormatKind::Currency) {
    SetNumberFormat(sheet, r, c, "\xC2\xA5#,##0.00");
  }
}

// Where `what` occurs in `text` from `from` on, letter case ignored unless matchCase.
size_t FindText(const std::string& text, const std::string& what, size_t from, bool matchCase) {
  if (matchCase) return text.find(what, from);
  const auto lower = [](std::string t) {
    for (char& ch : t) {
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return t;
  };
  return lower(text).find(lower(what), from);
}

Variant Nothing() {
  Variant v;
  v.Raw().vt = VT_DISPATCH;
  v.Raw().pdispVal = nullptr;
  return v;
}

// ---- the objects ----

class TestRange;

class TestFont final : public TestObject {
 public:
  TestFont(TestWorld& world, host::Range range) : TestObject(world.Counts(), L"Font", Members()), range_(range) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Size", {}}, {L"Bold", {}}, {L"Color", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    const host::CellStyle style = range_.Sheet().CellFormat(range_.Row(), range_.Column());
    switch (member) {
      case 0:
        if (args.IsPut()) return range_.GetFont().SetSize(args.PutValue().ToDouble()), Variant();
        return Variant::Double(style.fontSize);
      case 1:
        if (args.IsPut()) return range_.GetFont().SetBold(args.PutValue().ToDouble() != 0 || (args.PutValue().IsBoolean() && args.PutValue().Bool())), Variant();
        return Variant::Bool(style.bold);
      default:
        if (args.IsPut()) return range_.GetFont().SetColor(args.PutValue().ToLong()), Variant();
        return Variant::Long(style.fontColor);
    }
  }

 private:
  host::Range range_;
};

class TestBorder final : public TestObject {
 public:
  TestBorder(TestWorld& world, host::Range range, int32_t index)
      : TestObject(world.Counts(), L"Border", Members()), range_(range), index_(index) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"LineStyle", {}}};
    return members;
  }

 protected:
  Variant Run(size_t, const CallArgs& args) override {
    if (args.IsPut()) {
      range_.GetBorders(index_).SetLineStyle(args.PutValue().ToLong());
      return Variant();
    }
    const host::CellStyle style = range_.Sheet().CellFormat(range_.Row(), range_.Column());
    size_t side = 0;
    switch (index_) {
      case host::kEdgeTop: side = host::kSideTop; break;
      case host::kEdgeBottom: side = host::kSideBottom; break;
      case host::kEdgeRight: side = host::kSideRight; break;
      default: side = host::kSideLeft; break;
    }
    const int32_t line = style.borders[side];
    return Variant::Long(line == 0 ? host::kLineNone : line);
  }

 private:
  host::Range range_;
  int32_t index_;
};

class TestBorders final : public TestObject {
 public:
  TestBorders(TestWorld& world, host::Range range)
      : TestObject(world.Counts(), L"Borders", Members()), world_(world), range_(range) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"LineStyle", {}}, {L"Item", {L"Index"}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    if (member == 0) {
      if (!args.IsPut()) host::Raise(host::kErrHost, "只能设置所有边框的线型");
      range_.GetBorders().SetLineStyle(args.PutValue().ToLong());
      return Variant();
    }
    return Hand(new TestBorder(world_, range_, args.LongAt(0)));
  }

 private:
  TestWorld& world_;
  host::Range range_;
};

class TestInterior final : public TestObject {
 public:
  TestInterior(TestWorld& world, host::Range range)
      : TestObject(world.Counts(), L"Interior", Members()), range_(range) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"ColorIndex", {}}};
    return members;
  }

 protected:
  Variant Run(size_t, const CallArgs& args) override {
    if (args.IsPut()) {
      range_.GetInterior().SetColorIndex(args.PutValue().ToLong());
      return Variant();
    }
    return Variant::Long(range_.Sheet().CellFormat(range_.Row(), range_.Column()).fillColorIndex);
  }

 private:
  host::Range range_;
};

class TestValidation final : public TestObject {
 public:
  TestValidation(TestWorld& world, host::Range range)
      : TestObject(world.Counts(), L"Validation", Members()), range_(range) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {
        {L"Delete", {}},
        {L"Add", {L"Type", L"AlertStyle", L"Operator", L"Formula1", L"Formula2"}},
        {L"IgnoreBlank", {}},
        {L"InputTitle", {}},
        {L"InputMessage", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    const host::Validation validation = range_.GetValidation();
    switch (member) {
      case 0: validation.Delete(); break;
      case 1:
        validation.Add(args.LongAt(0), args.Has(1) ? args.LongAt(1) : host::kValidAlertStop,
                       args.Has(2) ? args.LongAt(2) : host::kValidBetween, args.Has(3) ? args.TextAt(3) : "");
        break;
      case 2:
        if (!args.IsPut()) ReadOnly();
        validation.SetIgnoreBlank(args.PutValue().IsBoolean() ? args.PutValue().Bool() : args.PutValue().ToDouble() != 0);
        break;
      case 3:
        if (!args.IsPut()) ReadOnly();
        validation.SetInputTitle(args.PutValue().ToText());
        break;
      default:
        if (!args.IsPut()) ReadOnly();
        validation.SetInputMessage(args.PutValue().ToText());
        break;
    }
    return Variant();
  }

 private:
  host::Range range_;
};

class TestRange final : public TestObject {
 public:
  TestRange(TestWorld& world, host::Worksheet& sheet, const host::Rect& area)
      : TestObject(world.Counts(), L"Range", Members()), world_(world), range_(sheet, area) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {
        {L"Value", {}},                 // 0
        {L"FormulaR1C1", {}},           // 1
        {L"HasFormula", {}},            // 2
        {L"Address", {}},               // 3
        {L"Row", {}},                   // 4
        {L"Column", {}},                // 5
        {L"CurrentRegion", {}},         // 6
        {L"Clear", {}},                 // 7
        {L"Copy", {L"Destination"}},    // 8
        {L"PasteSpecial", {L"Paste", L"Operation", L"SkipBlanks", L"Transpose"}},  // 9
        {L"Delete", {L"Shift"}},        // 10
        {L"Insert", {L"Shift", L"CopyOrigin"}},  // 11
        {L"Sort", {L"Key1", L"Order1", L"Key2", L"Type", L"Order2", L"Key3", L"Order3", L"Header", L"OrderCustom",
                   L"MatchCase", L"Orientation", L"SortMethod"}},  // 12
        {L"Replace", {L"What", L"Replacement", L"LookAt", L"SearchOrder", L"MatchCase"}},  // 13
        {L"AutoFit", {}},               // 14
        {L"ColumnWidth", {}},           // 15
        {L"RowHeight", {}},             // 16
        {L"Merge", {L"Across"}},        // 17
        {L"HorizontalAlignment", {}},   // 18
        {L"VerticalAlignment", {}},     // 19
        {L"NumberFormatLocal", {}},     // 20
        {L"NumberFormat", {}},          // 21
        {L"WrapText", {}},              // 22
        {L"Font", {}},                  // 23
        {L"Borders", {}},               // 24
        {L"Interior", {}},              // 25
        {L"Validation", {}},            // 26
        {L"Value2", {}},                // 27
        {L"Find", {L"What", L"After", L"LookIn", L"LookAt", L"SearchOrder", L"SearchDirection", L"MatchCase"}},  // 28
    };
    return members;
  }
  const host::Range& Get() const { return range_; }

 protected:
  Variant Run(size_t member, const CallArgs& args) override;

 private:
  static host::Range RangeArg(const CallArgs& args, size_t i) {
    auto* range = dynamic_cast<TestRange*>(TestObject::Of(args.Has(i) ? args.params[i] : nullptr));
    if (range == nullptr) host::Raise(host::kErrTypeMismatch, "参数不是单元格区域");
    return range->range_;
  }
  void PutValue(const CallArgs& args) {
    world_.UsedArea(range_.Sheet());
    const VARIANT& v = Unwrap(*args.putValue);
    if ((v.vt & VT_ARRAY) == 0) {
      if (BaseType(v) != VT_BSTR && BaseType(v) != VT_DATE && BaseType(v) != VT_CY) {
        range_.SetValue(ToValue(v));
        return;
      }
      const host::Rect& a = range_.Area();
      for (int32_t r = a.row1; r <= a.row2; ++r) {
        for (int32_t c = a.col1; c <= a.col2; ++c) Enter(range_.Sheet(), r, c, v);
      }
      return;
    }
    SAFEARRAY* array = (v.vt & VT_BYREF) ? *v.pparray : v.parray;
    if (SafeArrayGetDim(array) != 2) host::Raise(host::kErrTypeMismatch, "只接受二维数组");
    LONG rowLow = 0, rowHigh = 0, colLow = 0, colHigh = 0;
    SafeArrayGetLBound(array, 1, &rowLow);
    SafeArrayGetUBound(array, 1, &rowHigh);
    SafeArrayGetLBound(array, 2, &colLow);
    SafeArrayGetUBound(array, 2, &colHigh);
    const host::Rect& a = range_.Area();
    if (rowHigh - rowLow + 1 != a.Rows() || colHigh - colLow + 1 != a.Columns()) {
      host::Raise(host::kErrHost, "数组大小与区域不符");
    }
    VARIANT* data = nullptr;
    SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
    const size_t rows = static_cast<size_t>(a.Rows());
    for (int32_t c = 0; c < a.Columns(); ++c) {
      for (int32_t r = 0; r < a.Rows(); ++r) {
        Enter(range_.Sheet(), a.row1 + r, a.col1 + c, data[static_cast<size_t>(c) * rows + static_cast<size_t>(r)]);
      }
    }
    SafeArrayUnaccessData(array);
  }
  Variant Block(Variant (*read)(const host::Worksheet&, int32_t, int32_t)) const {
    const host::Rect& a = range_.Area();
    if (a.row1 == a.row2 && a.col1 == a.col2) return read(range_.Sheet(), a.row1, a.col1);
    return ValueArray(a, read, range_.Sheet());
  }
  bool Replace(const CallArgs& args);
  void Sort(const CallArgs& args);
  Variant Find(const CallArgs& args);
  TestWorld& world_;
  host::Range range_;
};

Variant TestRange::Run(size_t member, const CallArgs& args) {
  const host::Rect& a = range_.Area();
  host::Worksheet& sheet = range_.Sheet();
  const auto boolOf = [](const host::Value& v) { return v.IsBoolean() ? v.Bool() : v.ToDouble() != 0; };
  switch (member) {
    case 0:
      if (args.IsPut()) return PutValue(args), Variant();
      return Block(CellValueOf);
    case 1:
      if (args.IsPut()) return range_.SetFormulaR1C1(args.PutValue().ToText()), Variant();
      return Block(FormulaOf);
    case 2: {
      int32_t withFormula = 0;
      for (int32_t r = a.row1; r <= a.row2; ++r) {
        for (int32_t c = a.col1; c <= a.col2; ++c) withFormula += sheet.CellFormulaR1C1(r, c).empty() ? 0 : 1;
      }
      if (withFormula == 0 || withFormula == a.Rows() * a.Columns()) return Variant::Bool(withFormula != 0);
      Variant null;
      null.Raw().vt = VT_NULL;
      return null;
    }
    case 3: return Variant::Text(RealAddress(a));
    case 4: return Variant::Long(a.row1);
    case 5: return Variant::Long(a.col1);
    case 6: return Hand(new TestRange(world_, sheet, range_.CurrentRegion().Area()));
    case 7:
      world_.UsedArea(sheet);
      range_.Clear();
      return Variant();
    case 8:
      if (args.Has(0)) {
        range_.Copy(RangeArg(args, 0));
      } else {
        range_.Copy();
      }
      return Variant();
    case 9: range_.PasteSpecial(args.Has(0) ? args.LongAt(0) : -4104); return Variant();
    case 10:
      world_.UsedArea(sheet);
      range_.Delete(args.Has(0) ? args.LongAt(0) : host::kShiftUp);
      return Variant();
    case 11: range_.Insert(args.Has(0) ? args.LongAt(0) : host::kShiftDown); return Variant();
    case 12: Sort(args); return Variant();
    case 13: return Variant::Bool(Replace(args));
    case 14: range_.AutoFit(); return Variant();
    case 15:
      if (args.IsPut()) return range_.SetColumnWidth(args.PutValue().ToDouble()), Variant();
      return Variant::Double(range_.ColumnWidth());
    case 16:
      if (args.IsPut()) return range_.SetRowHeight(args.PutValue().ToDouble()), Variant();
      return Variant::Double(range_.RowHeight());
    case 17: range_.Merge(); return Variant();
    case 18:
      if (args.IsPut()) return range_.SetHorizontalAlignment(args.PutValue().ToLong()), Variant();
      return Variant::Long(sheet.CellFormat(a.row1, a.col1).horizontalAlignment);
    case 19:
      if (args.IsPut()) return range_.SetVerticalAlignment(args.PutValue().ToLong()), Variant();
      return Variant::Long(sheet.CellFormat(a.row1, a.col1).verticalAlignment);
    case 20:
    case 21: {
      if (args.IsPut()) return range_.SetNumberFormatLocal(args.PutValue().ToText()), Variant();
      const std::optional<std::string> format = sheet.NumberFormatOf(a);
      if (format) return Variant::Text(*format);
      Variant null;
      null.Raw().vt = VT_NULL;
      return null;
    }
    case 22:
      if (args.IsPut()) {
        const bool wrap = boolOf(args.PutValue());
        sheet.Format(a, [wrap](host::CellStyle& s) { s.wrapText = wrap; });
        return Variant();
      }
      return Variant::Bool(sheet.CellFormat(a.row1, a.col1).wrapText);
    case 23: return Hand(new TestFont(world_, range_));
    case 24: return Hand(new TestBorders(world_, range_));
    case 25: return Hand(new TestInterior(world_, range_));
    case 26: return Hand(new TestValidation(world_, range_));
    case 27:
      if (args.IsPut()) return PutValue(args), Variant();
      return Block(CellValue2Of);
    default: return Find(args);
  }
}

// Range.Replace: every constant whose text holds `What` (numbers too: the
// program searches what the cell shows in the formula bar) is entered again
// as if its new text were typed, unless the cell is formatted "@". MatchCase
// is False unless given. Formulas are not searched here.
bool TestRange::Replace(const CallArgs& args) {
  host::Worksheet& sheet = range_.Sheet();
  world_.UsedArea(sheet);
  const std::string what = args.TextAt(0);
  const std::string replacement = args.TextAt(1);
  const bool whole = args.Has(2) && args.LongAt(2) == host::kLookAtWhole;
  const bool matchCase = args.Has(4) && args.BoolAt(4);
  if (what.empty()) host::Raise(host::kErrHost, "查找内容不能为空");
  const std::optional<host::Rect> values = sheet.ValuesWithin(range_.Area());
  if (!values) return false;
  bool changed = false;
  for (int32_t r = values->row1; r <= values->row2; ++r) {
    for (int32_t c = values->col1; c <= values->col2; ++c) {
      const host::Value& value = sheet.CellValue(r, c);
      if (value.IsEmpty() || value.IsError() || !sheet.CellFormulaR1C1(r, c).empty()) continue;
      const std::string text = value.ToText();
      std::string result;
      if (whole) {
        if (FindText(text, what, 0, matchCase) != 0 || text.size() != what.size()) continue;
        result = replacement;
      } else {
        size_t found = FindText(text, what, 0, matchCase);
        if (found == std::string::npos) continue;
        size_t from = 0;
        while (found != std::string::npos) {
          result.append(text, from, found - from);
          result += replacement;
          from = found + what.size();
          found = FindText(text, what, from, matchCase);
        }
        result.append(text, from, std::string::npos);
      }
      const Variant typed = Variant::Text(result);
      Enter(sheet, r, c, typed.Raw());
      changed = true;
    }
  }
  return changed;
}

// Range.Sort with the program's order (ComparePinyin): empty keys last in
// either direction, equal keys keep their order. The rows move with their
// formats, as the embedded model moves them: its own sort does the moving,
// on a key of positions written into the first key column for the while.
void TestRange::Sort(const CallArgs& args) {
  host::Worksheet& sheet = range_.Sheet();
  world_.UsedArea(sheet);
  if (args.Has(11) && args.LongAt(11) != 1) host::Raise(host::kErrHost, "测试应用未模拟笔画排序 (xlStroke)");
  const bool matchCase = args.Has(9) && args.BoolAt(9);
  const int32_t header = args.Has(7) ? args.LongAt(7) : host::kHeaderNo;
  struct Key {
    int32_t column;
    bool descending;
  };
  std::vector<Key> keys;
  const size_t keyAt[3] = {0, 2, 5}, orderAt[3] = {1, 4, 6};
  for (size_t k = 0; k < 3; ++k) {
    if (!args.Has(keyAt[k])) continue;
    const int32_t column = RangeArg(args, keyAt[k]).Column();
    if (column < range_.Area().col1 || column > range_.Area().col2) host::Raise(host::kErrHost, "排序关键字不在排序区域内");
    keys.push_back(Key{column, args.Has(orderAt[k]) && args.LongAt(orderAt[k]) == host::kDescending});
  }
  if (keys.empty()) host::Raise(host::kErrHost, "测试应用要求给出排序关键字");
  const host::Rect& a = range_.Area();
  const auto stored = static_cast<int32_t>(dynamic_cast<const host::ModelWorksheet&>(sheet).RowsData().size());
  const int32_t first = a.row1 + (header == host::kHeaderYes ? 1 : 0);
  const int32_t last = std::min(a.row2, stored);
  if (first >= last) return;
  const auto count = static_cast<size_t>(last - first + 1);
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
    for (const Key& key : keys) {
      const host::Value& vx = sheet.CellValue(first + static_cast<int32_t>(x), key.column);
      const host::Value& vy = sheet.CellValue(first + static_cast<int32_t>(y), key.column);
      if (vx.IsEmpty() || vy.IsEmpty()) {
        if (vx.IsEmpty() != vy.IsEmpty()) return vy.IsEmpty();
        continue;
      }
      int cmp = ComparePinyin(vx, vy, matchCase);
      if (key.descending) cmp = -cmp;
      if (cmp != 0) return cmp < 0;
    }
    return false;
  });
  const int32_t keyColumn = keys[0].column;
  std::vector<host::Value> saved(count);
  for (size_t i = 0; i < count; ++i) {
    const int32_t row = first + static_cast<int32_t>(i);
    if (!sheet.CellFormulaR1C1(row, keyColumn).empty()) host::Raise(host::kErrHost, "测试应用未模拟按公式列排序");
    saved[i] = sheet.CellValue(row, keyColumn);
  }
  for (size_t i = 0; i < count; ++i) sheet.SetCellValue(first + static_cast<int32_t>(order[i]), keyColumn, static_cast<double>(i));
  sheet.Sort(host::Rect{first, a.col1, last, a.col2}, host::SortKey{keyColumn, host::kAscending}, host::SortKey{0, host::kAscending},
             host::kHeaderNo);
  for (size_t i = 0; i < count; ++i) sheet.SetCellValue(first + static_cast<int32_t>(i), keyColumn, saved[order[i]]);
}

// Range.Find for "*" (any cell with content): from the cell after `After`
// (the range's first cell when not given) in SearchOrder, forwards or
// backwards with wrapping round; Nothing when no cell has content. The
// SearchOrder not given is the one of the call before.
Variant TestRange::Find(const CallArgs& args) {
  if (args.TextAt(0) != "*") host::Raise(host::kErrHost, "测试应用只模拟查找 \"*\"");
  host::Worksheet& sheet = range_.Sheet();
  if (args.Has(4)) world_.SavedSearchOrder() = args.LongAt(4);
  const bool byColumns = world_.SavedSearchOrder() == 2;
  const bool previous = args.Has(5) && args.LongAt(5) == 2;
  const host::Rect& a = range_.Area();
  const host::Rect after = args.Has(1) ? RangeArg(args, 1).Area() : host::Rect{a.row1, a.col1, a.row1, a.col1};
  const auto index = [&](int32_t r, int32_t c) {
    return byColumns ? int64_t{c - a.col1} * a.Rows() + (r - a.row1) : int64_t{r - a.row1} * a.Columns() + (c - a.col1);
  };
  const int64_t start = index(after.row1, after.col1);
  const std::optional<host::Rect> values = sheet.ValuesWithin(a);
  if (!values) return Nothing();
  // The best cell before the wrap and the best after it.
  std::optional<std::pair<int64_t, std::pair<int32_t, int32_t>>> beforeWrap, afterWrap;
  for (int32_t r = values->row1; r <= values->row2; ++r) {
    for (int32_t c = values->col1; c <= values->col2; ++c) {
      if (sheet.CellValue(r, c).IsEmpty()) continue;
      const int64_t i = index(r, c);
      const bool ahead = previous ? i < start : i > start;
      auto& best = ahead ? beforeWrap : afterWrap;
      const bool better = !best || (previous ? i > best->first : i < best->first);
      if (better) best = std::make_pair(i, std::make_pair(r, c));
    }
  }
  const auto& found = beforeWrap ? beforeWrap : afterWrap;
  if (!found) return Nothing();
  const auto [row, column] = found->second;
  return Hand(new TestRange(world_, sheet, host::Rect{row, column, row, column}));
}

class TestPageSetup final : public TestObject {
 public:
  TestPageSetup(TestWorld& world, host::Worksheet& sheet)
      : TestObject(world.Counts(), L"PageSetup", Members()), world_(world), sheet_(sheet) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {
        {L"Orientation", {}}, {L"TopMargin", {}},  {L"BottomMargin", {}}, {L"HeaderMargin", {}},
        {L"FooterMargin", {}}, {L"LeftMargin", {}}, {L"RightMargin", {}},  {L"CenterFooter", {}},
        {L"Zoom", {}},        {L"CenterHorizontally", {}}, {L"PrintTitleRows", {}}, {L"PaperSize", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    if (!args.IsPut()) host::Raise(host::kErrHost, "测试应用只支持设置页面属性");
    if (world_.PrintCommunication()) ++world_.Counts().slowCalls;
    host::PageSetup& page = sheet_.GetPageSetup();
    const host::Value v = args.PutValue();
    switch (member) {
      case 0: page.SetOrientation(v.ToLong()); break;
      case 1: page.SetTopMargin(v.ToDouble()); break;
      case 2: page.SetBottomMargin(v.ToDouble()); break;
      case 3: page.SetHeaderMargin(v.ToDouble()); break;
      case 4: page.SetFooterMargin(v.ToDouble()); break;
      case 5: page.SetLeftMargin(v.ToDouble()); break;
      case 6: page.SetRightMargin(v.ToDouble()); break;
      case 7: page.SetCenterFooter(v.ToText()); break;
      case 8: page.SetZoom(v.ToLong()); break;
      case 9: page.SetCenterHorizontally(v.IsBoolean() ? v.Bool() : v.ToDouble() != 0); break;
      case 10: page.SetPrintTitleRows(v.ToText()); break;
      default: page.SetPaperSize(v.ToLong()); break;
    }
    return Variant();
  }

 private:
  TestWorld& world_;
  host::Worksheet& sheet_;
};

class TestPageBreak final : public TestObject {
 public:
  TestPageBreak(TestWorld& world, host::Worksheet& sheet, int32_t row)
      : TestObject(world.Counts(), L"HPageBreak", Members()), world_(world), sheet_(sheet), row_(row) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Location", {}}};
    return members;
  }

 protected:
  Variant Run(size_t, const CallArgs&) override {
    return Hand(new TestRange(world_, sheet_, host::Rect{row_, 1, row_, 1}));
  }

 private:
  TestWorld& world_;
  host::Worksheet& sheet_;
  int32_t row_;
};

class TestPageBreaks final : public TestObject {
 public:
  TestPageBreaks(TestWorld& world, host::Worksheet& sheet)
      : TestObject(world.Counts(), L"HPageBreaks", Members()), world_(world), sheet_(sheet) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Count", {}}, {L"Item", {L"Index"}}, {L"Add", {L"Before"}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    const std::vector<int32_t>& breaks = sheet_.HPageBreaks();
    switch (member) {
      case 0: return Variant::Long(static_cast<int32_t>(breaks.size()));
      case 1: {
        const int32_t i = args.LongAt(0);
        if (i < 1 || static_cast<size_t>(i) > breaks.size()) host::Raise(host::kErrSubscript);
        return Hand(new TestPageBreak(world_, sheet_, breaks[static_cast<size_t>(i - 1)]));
      }
      default: {
        auto* before = dynamic_cast<TestRange*>(TestObject::Of(args.Has(0) ? args.params[0] : nullptr));
        if (before == nullptr) host::Raise(host::kErrTypeMismatch, "Before 不是单元格区域");
        sheet_.AddHPageBreak(before->Get().Row());
        return Variant();
      }
    }
  }

 private:
  TestWorld& world_;
  host::Worksheet& sheet_;
};

class TestWorksheet final : public TestObject {
 public:
  TestWorksheet(TestWorld& world, host::Worksheet& sheet)
      : TestObject(world.Counts(), L"Worksheet", Members()), world_(world), sheet_(sheet) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {
        {L"Name", {}},     {L"Visible", {}},   {L"Activate", {}},    {L"Delete", {}},
        {L"Range", {L"Cell1", L"Cell2"}},      {L"Cells", {L"RowIndex", L"ColumnIndex"}},
        {L"UsedRange", {}}, {L"HPageBreaks", {}}, {L"ResetAllPageBreaks", {}}, {L"PageSetup", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    switch (member) {
      case 0:
        if (args.IsPut()) return sheet_.SetName(args.PutValue().ToText()), Variant();
        return Variant::Text(sheet_.Name());
      case 1:
        if (args.IsPut()) {
          const host::Value v = args.PutValue();
          sheet_.SetVisible(v.IsBoolean() ? (v.Bool() ? host::kSheetVisible : host::kSheetHidden) : v.ToLong());
          return Variant();
        }
        return Variant::Long(sheet_.Visible());
      case 2: sheet_.Activate(); return Variant();
      case 3:
        world_.ForgetSheet(sheet_);
        sheet_.Delete();
        return Variant();
      case 4: {
        host::Rect area = sheet_.GetRange(args.TextAt(0)).Area();
        if (args.Has(1)) area = sheet_.GetRange(sheet_.GetRange(args.TextAt(0)), sheet_.GetRange(args.TextAt(1))).Area();
        return Hand(new TestRange(world_, sheet_, area));
      }
      case 5:
        if (args.Has(0)) return Hand(new TestRange(world_, sheet_, sheet_.Cells(args.LongAt(0), args.LongAt(1)).Area()));
        return Hand(new TestRange(world_, sheet_, sheet_.Cells().Area()));
      case 6: return Hand(new TestRange(world_, sheet_, world_.UsedArea(sheet_)));
      case 7: return Hand(new TestPageBreaks(world_, sheet_));
      case 8: sheet_.ResetAllPageBreaks(); return Variant();
      default: return Hand(new TestPageSetup(world_, sheet_));
    }
  }

 private:
  TestWorld& world_;
  host::Worksheet& sheet_;
};

class TestSheets final : public TestObject {
 public:
  TestSheets(TestWorld& world, host::Workbook& book)
      : TestObject(world.Counts(), L"Sheets", Members()), world_(world), book_(book) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {
        {L"Count", {}}, {L"Item", {L"Index"}}, {L"Add", {L"Before", L"After", L"Count", L"Type"}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    const host::Worksheets sheets(book_);
    switch (member) {
      case 0: return Variant::Long(sheets.Count());
      case 1: {
        const host::Value index = args.ValueAt(0);
        host::Worksheet& sheet = index.IsText() ? sheets(index.ToText()) : sheets(index.ToLong());
        return Hand(world_.SheetObject(sheet));
      }
      default: {
        if (args.Has(1)) {
          auto* after = dynamic_cast<TestWorksheet*>(TestObject::Of(args.params[1]));
          if (after == nullptr) host::Raise(host::kErrTypeMismatch, "After 不是工作表");
          return Hand(world_.SheetObject(sheets.Add(*SheetOf(after))));
        }
        return Hand(world_.SheetObject(sheets.Add()));
      }
    }
  }

 private:
  host::Worksheet* SheetOf(TestWorksheet* object) {
    for (int32_t i = 1; i <= book_.SheetCount(); ++i) {
      IDispatch* known = world_.SheetObject(book_.SheetAt(i));
      known->Release();
      if (known == static_cast<IDispatch*>(object)) return &book_.SheetAt(i);
    }
    host::Raise(host::kErrHost, "工作表不在本工作簿中");
  }
  TestWorld& world_;
  host::Workbook& book_;
};

// The active window, or the first window of one workbook (its tab ratio only).
class TestWindow final : public TestObject {
 public:
  TestWindow(TestWorld& world, host::Workbook* book)
      : TestObject(world.Counts(), L"Window", Members()), world_(world), book_(book) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"ScrollRow", {}},   {L"ScrollColumn", {}}, {L"TabRatio", {}},
                                                    {L"SplitRow", {}},    {L"SplitColumn", {}},  {L"FreezePanes", {}},
                                                    {L"Zoom", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    if (book_ != nullptr) {
      if (member != 2) host::Raise(438, "对象不支持该属性或方法");
      if (args.IsPut()) return book_->SetTabRatio(args.PutValue().ToDouble()), Variant();
      return Variant::Double(book_->TabRatio());
    }
    host::Window& w = world_.Model().ActiveWindow();
    if (args.IsPut()) {
      const host::Value v = args.PutValue();
      switch (member) {
        case 0: w.SetScrollRow(v.ToLong()); break;
        case 1: w.SetScrollColumn(v.ToLong()); break;
        case 2: w.SetTabRatio(v.ToDouble()); break;
        case 3: w.SetSplitRow(v.ToLong()); break;
        case 4: w.SetSplitColumn(v.ToLong()); break;
        case 5: w.SetFreezePanes(v.IsBoolean() ? v.Bool() : v.ToDouble() != 0); break;
        default: w.SetZoom(v.ToLong()); break;
      }
      return Variant();
    }
    switch (member) {
      case 0: return Variant::Long(w.ScrollRow());
      case 1: return Variant::Long(w.ScrollColumn());
      case 2: return Variant::Double(w.TabRatio());
      case 3: return Variant::Long(w.SplitRow());
      case 4: return Variant::Long(w.SplitColumn());
      case 5: return Variant::Bool(w.FreezePanes());
      default: return Variant::Long(w.Zoom());
    }
  }

 private:
  TestWorld& world_;
  host::Workbook* book_;
};

class TestWorkbook final : public TestObject {
 public:
  TestWorkbook(TestWorld& world, host::Workbook& book)
      : TestObject(world.Counts(), L"Workbook", Members()), world_(world), book_(book) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Name", {}},        {L"Path", {}},
                                                    {L"Activate", {}},    {L"Worksheets", {L"Index"}},
                                                    {L"ActiveSheet", {}}, {L"Windows", {L"Index"}},
                                                    {L"SaveAs", {L"Filename", L"FileFormat"}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    if (args.IsPut()) ReadOnly();
    switch (member) {
      case 0: return Variant::Text(book_.Name());
      case 1: return Variant::Text(book_.Path());
      case 2: book_.Activate(); return Variant();
      case 3: return Hand(new TestSheets(world_, book_));
      case 4: return Hand(world_.SheetObject(book_.ActiveSheet()));
      case 5:
        if (args.LongAt(0) != 1) host::Raise(host::kErrSubscript);
        return Hand(new TestWindow(world_, &book_));
      default: return SaveAs(args), Variant();
    }
  }

 private:
  // Workbook.SaveAs: the workbook takes the file's name and folder. The test
  // application writes no contents: an empty file stands for the workbook.
  // FileFormat 51 (xlOpenXMLWorkbook) must go with ".xlsx", as Excel refuses
  // a format that does not match the extension.
  void SaveAs(const CallArgs& args) {
    const std::string path = args.TextAt(0);
    const size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) host::Raise(host::kErrHost, "SaveAs: 需要完整路径");
    const std::string name = path.substr(slash + 1);
    const bool xlsx = name.size() > 5 && name.compare(name.size() - 5, 5, ".xlsx") == 0;
    if (args.Has(1) && (args.LongAt(1) == 51) != xlsx) host::Raise(host::kErrHost, "SaveAs: 文件格式与扩展名不符");
    HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) host::Raise(host::kErrFile, "SaveAs: 无法写入 " + path);
    CloseHandle(file);
    auto& model = dynamic_cast<host::ModelWorkbook&>(book_);
    model.SetName(name);
    model.SetPath(path.substr(0, slash));
  }

  TestWorld& world_;
  host::Workbook& book_;
};

class TestWorkbooks final : public TestObject {
 public:
  explicit TestWorkbooks(TestWorld& world) : TestObject(world.Counts(), L"Workbooks", Members()), world_(world) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {
        {L"Count", {}}, {L"Item", {L"Index"}}, {L"Open", {L"Filename"}}, {L"Add", {L"Template"}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    host::Application& app = world_.Model();
    const host::Workbooks books(app);
    switch (member) {
      case 0: return Variant::Long(books.Count());
      case 1: {
        const host::Value index = args.ValueAt(0);
        return Hand(world_.WorkbookObject(index.IsText() ? books(index.ToText()) : books(index.ToLong())));
      }
      case 2: return Hand(world_.WorkbookObject(books.Open(args.TextAt(0))));
      default: return Hand(world_.WorkbookObject(AddWorkbook()));
    }
  }

 private:
  // Workbooks.Add: a new, unsaved workbook ("工作簿N", no folder) with
  // Application.SheetsInNewWorkbook sheets "Sheet1", ...; it becomes the
  // active workbook (Workbooks.Add method).
  host::Workbook& AddWorkbook() {
    host::ModelApplication& model = world_.Model();
    const std::string name = "工作簿" + std::to_string(++world_.AddedWorkbooks());
    auto& book = model.AddWorkbook(std::make_unique<host::ModelWorkbook>(name, ""));
    for (int32_t i = 1; i <= world_.SheetsInNewWorkbook(); ++i) book.AppendSheet("Sheet" + std::to_string(i));
    book.Activate();
    return book;
  }

 private:
  TestWorld& world_;
};

class TestApplicationObject final : public TestObject {
 public:
  explicit TestApplicationObject(TestWorld& world)
      : TestObject(world.Counts(), L"Application", Members()), world_(world) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {
        {L"Workbooks", {}},    {L"ThisWorkbook", {}},  {L"ActiveWorkbook", {}}, {L"ActiveSheet", {}},
        {L"ActiveWindow", {}}, {L"DisplayAlerts", {}}, {L"ScreenUpdating", {}}, {L"PrintCommunication", {}},
        {L"Hwnd", {}},         {L"CommandBars", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    host::ModelApplication& app = world_.Model();
    const auto boolOf = [](const host::Value& v) { return v.IsBoolean() ? v.Bool() : v.ToDouble() != 0; };
    switch (member) {
      case 0: return Hand(new TestWorkbooks(world_));
      case 1:
        // "Returns a Workbook object that represents the workbook where the
        // current macro code is running" (Application.ThisWorkbook property).
        if (!world_.MacroRunning()) host::Raise(host::kErrHost, "ThisWorkbook: 没有正在运行的宏");
        return Hand(world_.WorkbookObject(app.ThisWorkbook()));
      case 2: return Hand(world_.WorkbookObject(app.ActiveWorkbook()));
      case 3: return Hand(world_.SheetObject(app.ActiveSheet()));
      case 4: return Hand(new TestWindow(world_, nullptr));
      case 5:
        if (args.IsPut()) return app.SetDisplayAlerts(boolOf(args.PutValue())), Variant();
        return Variant::Bool(app.DisplayAlerts());
      case 6:
        if (args.IsPut()) return app.SetScreenUpdating(boolOf(args.PutValue())), Variant();
        return Variant::Bool(app.ScreenUpdating());
      case 8:
        if (args.IsPut()) ReadOnly();
        return Variant::Long(static_cast<int32_t>(reinterpret_cast<INT_PTR>(world_.Window())));
      case 9:
        if (!world_.CommandBars()) host::Raise(438, "对象不支持该属性或方法");
        return Variant::Dispatch(world_.CommandBars());
      default:
        if (!world_.HasPrintCommunication()) host::Raise(438, "对象不支持该属性或方法");
        if (args.IsPut()) return world_.SetPrintCommunication(boolOf(args.PutValue())), Variant();
        return Variant::Bool(world_.PrintCommunication());
    }
  }

 private:
  TestWorld& world_;
};

}  // namespace

TestWorld::TestWorld(host::ModelApplication& model) : model_(&model) {
  application_ = ComPtr<IDispatch>::Adopt(new TestApplicationObject(*this));
}

TestWorld::~TestWorld() = default;

IDispatch* TestWorld::Application() {
  application_->AddRef();
  return application_.Get();
}

IDispatch* TestWorld::WorkbookObject(host::Workbook& book) {
  ComPtr<IDispatch>& object = objects_[&book];
  if (!object) object = ComPtr<IDispatch>::Adopt(new TestWorkbook(*this, book));
  object->AddRef();
  return object.Get();
}

IDispatch* TestWorld::SheetObject(host::Worksheet& sheet) {
  ComPtr<IDispatch>& object = objects_[&sheet];
  if (!object) object = ComPtr<IDispatch>::Adopt(new TestWorksheet(*this, sheet));
  object->AddRef();
  return object.Get();
}

void TestWorld::ForgetSheet(host::Worksheet& sheet) {
  objects_.erase(&sheet);
  everUsed_.erase(&sheet);
}

host::Rect TestWorld::UsedArea(host::Worksheet& sheet) {
  const auto& rows = dynamic_cast<const host::ModelWorksheet&>(sheet).RowsData();
  std::optional<host::Rect> used;
  const auto known = everUsed_.find(&sheet);
  if (known != everUsed_.end()) used = known->second;
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto& cells = rows[r].cells;
    for (size_t c = 0; c < cells.size(); ++c) {
      const host::Cell& cell = cells[c];
      if (cell.value.IsEmpty() && cell.style == 0 && cell.formula == 0) continue;
      const auto row = static_cast<int32_t>(r + 1), column = static_cast<int32_t>(c + 1);
      if (!used) {
        used = host::Rect{row, column, row, column};
        continue;
      }
      used->row1 = std::min(used->row1, row);
      used->row2 = std::max(used->row2, row);
      used->col1 = std::min(used->col1, column);
      used->col2 = std::max(used->col2, column);
    }
  }
  if (!used) return host::Rect{1, 1, 1, 1};
  everUsed_[&sheet] = *used;
  return *used;
}

}  // namespace fenban::automation::testing
