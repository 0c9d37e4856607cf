#include "host/range.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "host/application.h"
#include "host/display_text.h"
#include "host/errors.h"
#include "host/workbook.h"

namespace fenban::host {

namespace {

bool IsHorizontalAlignment(int32_t alignment) {
  switch (alignment) {
    case kAlignGeneral:
    case kAlignLeft:
    case kAlignCenter:
    case kAlignRight:
    case 5:      // fill
    case 7:      // centre across selection
    case -4130:  // justify
    case -4117:  // distributed
      return true;
    default:
      return false;
  }
}

bool IsVerticalAlignment(int32_t alignment) {
  switch (alignment) {
    case kAlignTop:
    case kAlignCenter:
    case kAlignBottom:
    case -4130:  // justify
    case -4117:  // distributed
      return true;
    default:
      return false;
  }
}

bool IsLineStyle(int32_t lineStyle) {
  switch (lineStyle) {
    case kLineNone:
    case kLineContinuous:
    case kLineDouble:
    case -4115:  // dash
    case -4118:  // dot
    case 4:      // dash dot
    case 5:      // dash dot dot
    case 13:     // slanted dash dot
      return true;
    default:
      return false;
  }
}

// Parses one cell reference of an A1 address ("B3", "$B$3", "B", "3").
// Missing parts are 0.
bool ParseA1Part(std::string_view text, int32_t& row, int32_t& column) {
  size_t pos = 0;
  row = 0;
  column = 0;
  if (pos < text.size() && text[pos] == '$') ++pos;
  int64_t letters = 0;
  size_t letterCount = 0;
  while (pos < text.size()) {
    char ch = text[pos];
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (ch < 'A' || ch > 'Z') break;
    letters = letters * 26 + (ch - 'A' + 1);
    if (++letterCount > 3) return false;
    ++pos;
  }
  if (pos < text.size() && text[pos] == '$') {
    if (letterCount == 0) {
      // "$3": a row with its dollar sign taken above.
    } else {
      ++pos;
    }
  }
  int64_t digits = 0;
  size_t digitCount = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    digits = digits * 10 + (text[pos] - '0');
    if (++digitCount > 7) return false;
    ++pos;
  }
  if (pos != text.size() || (letterCount == 0 && digitCount == 0)) return false;
  if (letters > kMaxColumns || digits > kMaxRows) return false;
  if (digitCount > 0 && digits == 0) return false;
  column = static_cast<int32_t>(letters);
  row = static_cast<int32_t>(digits);
  return true;
}

Rect ParseA1Address(const std::string& address) {
  const size_t colon = address.find(':');
  std::string_view first(address);
  std::string_view last(address);
  if (colon != std::string::npos) {
    first = first.substr(0, colon);
    last = last.substr(colon + 1);
  }
  int32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  if (!ParseA1Part(first, r1, c1) || !ParseA1Part(last, r2, c2)) {
    Raise(kErrHost, "无效的单元格地址: " + address);
  }
  // Both parts must be of the same kind: cells, whole columns or whole rows.
  if ((r1 == 0) != (r2 == 0) || (c1 == 0) != (c2 == 0)) Raise(kErrHost, "无效的单元格地址: " + address);
  Rect rect;
  rect.row1 = r1 == 0 ? 1 : std::min(r1, r2);
  rect.row2 = r1 == 0 ? kMaxRows : std::max(r1, r2);
  rect.col1 = c1 == 0 ? 1 : std::min(c1, c2);
  rect.col2 = c1 == 0 ? kMaxColumns : std::max(c1, c2);
  return rect;
}

}  // namespace

// ---- Font, Borders, Interior ----

void Font::SetSize(double size) const {
  if (!(size >= 1 && size <= 409)) Raise(kErrHost, "字号必须在 1 到 409 之间");
  range_.Sheet().SetFontSize(range_.Area(), size);
}

void Font::SetBold(bool bold) const { range_.Sheet().SetFontBold(range_.Area(), bold); }

void Font::SetColor(int32_t bgr) const {
  if (bgr < 0 || bgr > 0xFFFFFF) Raise(kErrHost, "无效的颜色值");
  range_.Sheet().SetFontColor(range_.Area(), bgr);
}

void Borders::SetLineStyle(int32_t lineStyle) const {
  if (!IsLineStyle(lineStyle)) Raise(kErrHost, "无效的边框线型");
  if (index_ != 0 && (index_ < kEdgeLeft || index_ > kInsideHorizontal)) Raise(kErrHost, "无效的边框索引");
  range_.Sheet().SetBorderLineStyle(range_.Area(), index_, lineStyle);
}

void Interior::SetColorIndex(int32_t colorIndex) const {
  if (colorIndex != kColorIndexNone && (colorIndex < 1 || colorIndex > 56)) {
    Raise(kErrHost, "无效的颜色索引");
  }
  range_.Sheet().SetInteriorColorIndex(range_.Area(), colorIndex);
}

// ---- Validation ----

void Validation::Delete() const { range_.Sheet().DeleteValidation(range_.Area()); }

void Validation::Add(int32_t type, int32_t alertStyle, int32_t op, const std::string& formula1) const {
  if (type < 0 || type > 7) Raise(kErrHost, "无效的数据有效性类型");
  if (alertStyle < 1 || alertStyle > 3) Raise(kErrHost, "无效的出错警告样式");
  if (op < 1 || op > 8) Raise(kErrHost, "无效的数据有效性条件");
  if (type != 0 && formula1.empty()) Raise(kErrHost, "数据有效性缺少来源");
  ValidationRule rule;
  rule.area = range_.Area();
  rule.type = type;
  rule.alertStyle = alertStyle;
  rule.op = op;
  rule.formula1 = formula1;
  range_.Sheet().AddValidation(rule);
}

void Validation::SetIgnoreBlank(bool ignore) const { range_.Sheet().SetValidationIgnoreBlank(range_.Area(), ignore); }

void Validation::SetInputTitle(const std::string& title) const {
  if (CharCount(title) > 32) Raise(kErrHost, "输入信息标题过长");
  range_.Sheet().SetValidationInputTitle(range_.Area(), title);
}

void Validation::SetInputMessage(const std::string& message) const {
  if (CharCount(message) > 255) Raise(kErrHost, "输入信息过长");
  range_.Sheet().SetValidationInputMessage(range_.Area(), message);
}

// ---- Range ----

Range::Range(Worksheet& sheet, const Rect& area) : sheet_(&sheet), area_(area) { CheckRect(area_); }

Range Range::Cells(int32_t row, int32_t column) const {
  const int64_t r = int64_t{area_.row1} + row - 1;
  const int64_t c = int64_t{area_.col1} + column - 1;
  if (r < 1 || r > kMaxRows || c < 1 || c > kMaxColumns) Raise(kErrHost, "单元格地址超出工作表范围");
  const Rect cell{static_cast<int32_t>(r), static_cast<int32_t>(c), static_cast<int32_t>(r),
                  static_cast<int32_t>(c)};
  return Range(*sheet_, cell);
}

Range Range::Rows(int32_t row) const {
  const int64_t r = int64_t{area_.row1} + row - 1;
  if (r < 1 || r > kMaxRows) Raise(kErrHost, "单元格地址超出工作表范围");
  const auto r32 = static_cast<int32_t>(r);
  return Range(*sheet_, Rect{r32, area_.col1, r32, area_.col2});
}

Range Range::Columns(int32_t column) const {
  const int64_t c = int64_t{area_.col1} + column - 1;
  if (c < 1 || c > kMaxColumns) Raise(kErrHost, "单元格地址超出工作表范围");
  const auto c32 = static_cast<int32_t>(c);
  return Range(*sheet_, Rect{area_.row1, c32, area_.row2, c32});
}

Range Range::EntireRow() const { return Range(*sheet_, Rect{area_.row1, 1, area_.row2, kMaxColumns}); }

Range Range::EntireColumn() const { return Range(*sheet_, Rect{1, area_.col1, kMaxRows, area_.col2}); }

Range Range::CurrentRegion() const { return Range(*sheet_, sheet_->CurrentRegion(area_.row1, area_.col1)); }

const Value& Range::GetValue() const { return sheet_->CellValue(area_.row1, area_.col1); }

void Range::SetValue(const Value& given) const {
  // A copy: the value may live in a cell that the writes below move.
  const Value value = given;
  Rect target = area_;
  const bool large = int64_t{area_.Rows()} * area_.Columns() > 4096;
  if (large && (value.IsEmpty() || (value.IsText() && value.Text().empty()))) {
    // Emptying cells only has to visit the part of the sheet in use.
    const Rect used = sheet_->UsedRect();
    target.row1 = std::max(target.row1, used.row1);
    target.col1 = std::max(target.col1, used.col1);
    target.row2 = std::min(target.row2, used.row2);
    target.col2 = std::min(target.col2, used.col2);
  }
  for (int32_t r = target.row1; r <= target.row2; ++r) {
    for (int32_t c = target.col1; c <= target.col2; ++c) sheet_->SetCellValue(r, c, value);
  }
}

std::string Range::FormulaR1C1() const { return sheet_->CellFormulaR1C1(area_.row1, area_.col1); }

void Range::SetFormulaR1C1(const std::string& formula) const { sheet_->SetFormulaR1C1(area_, formula); }

void Range::Clear() const { sheet_->Clear(area_); }

void Range::Copy() const { sheet_->Parent().Parent().SetClipboard(sheet_, area_); }

void Range::Copy(const Range& destination) const {
  sheet_->CopyTo(area_, destination.Sheet(), destination.Row(), destination.Column());
}

void Range::PasteSpecial(int32_t paste) const {
  if (paste != kPasteValues) Raise(kErrHost, "不支持的选择性粘贴方式");
  Application& app = sheet_->Parent().Parent();
  Worksheet* source = app.ClipboardSheet();
  if (source == nullptr) Raise(kErrHost, "剪贴板为空，无法粘贴");
  source->PasteValuesTo(app.ClipboardArea(), *sheet_, area_.row1, area_.col1);
}

void Range::Delete(int32_t shift) const { sheet_->DeleteCells(area_, shift); }

void Range::Insert(int32_t shift) const { sheet_->InsertCells(area_, shift); }

void Range::Sort(const Range& key1, int32_t order1, int32_t header) const {
  if (&key1.Sheet() != sheet_) Raise(kErrHost, "排序关键字不在排序区域所在的工作表上");
  sheet_->Sort(area_, SortKey{key1.Column(), order1}, SortKey{0, kAscending}, header);
}

void Range::Sort(const Range& key1, int32_t order1, const Range& key2, int32_t order2, int32_t header) const {
  if (&key1.Sheet() != sheet_ || &key2.Sheet() != sheet_) {
    Raise(kErrHost, "排序关键字不在排序区域所在的工作表上");
  }
  sheet_->Sort(area_, SortKey{key1.Column(), order1}, SortKey{key2.Column(), order2}, header);
}

bool Range::Replace(const std::string& what, const std::string& replacement, int32_t lookAt) const {
  return sheet_->Replace(area_, what, replacement, lookAt);
}

void Range::AutoFit() const { sheet_->AutoFit(area_.col1, area_.col2); }

double Range::ColumnWidth() const { return sheet_->ColumnWidth(area_.col1); }

void Range::SetColumnWidth(double width) const { sheet_->SetColumnWidth(area_.col1, area_.col2, width); }

double Range::RowHeight() const { return sheet_->RowHeight(area_.row1); }

void Range::SetRowHeight(double height) const { sheet_->SetRowHeight(area_.row1, area_.row2, height); }

void Range::Merge() const { sheet_->Merge(area_); }

void Range::SetHorizontalAlignment(int32_t alignment) const {
  if (!IsHorizontalAlignment(alignment)) Raise(kErrHost, "无效的水平对齐方式");
  sheet_->SetHorizontalAlignment(area_, alignment);
}

void Range::SetVerticalAlignment(int32_t alignment) const {
  if (!IsVerticalAlignment(alignment)) Raise(kErrHost, "无效的垂直对齐方式");
  sheet_->SetVerticalAlignment(area_, alignment);
}

void Range::SetNumberFormatLocal(const std::string& format) const { sheet_->SetNumberFormatLocal(area_, format); }

// ---- Worksheet helpers ----

Range Worksheet::Cells() { return Range(*this, Rect{1, 1, kMaxRows, kMaxColumns}); }

Range Worksheet::Cells(int32_t row, int32_t column) { return Range(*this, Rect{row, column, row, column}); }

Range Worksheet::GetRange(const std::string& address) { return Range(*this, ParseA1Address(address)); }

Range Worksheet::GetRange(const Range& first, const Range& last) {
  if (&first.Sheet() != this || &last.Sheet() != this) Raise(kErrHost, "区域不在同一工作表上");
  const Rect& a = first.Area();
  const Rect& b = last.Area();
  return Range(*this, Rect{std::min(a.row1, b.row1), std::min(a.col1, b.col1), std::max(a.row2, b.row2),
                           std::max(a.col2, b.col2)});
}

Range Worksheet::Rows(int32_t row) { return Range(*this, Rect{row, 1, row, kMaxColumns}); }

Range Worksheet::Columns(int32_t column) { return Range(*this, Rect{1, column, kMaxRows, column}); }

Range Worksheet::Columns(int32_t firstColumn, int32_t lastColumn) {
  return Range(*this, Rect{1, firstColumn, kMaxRows, lastColumn});
}

// ---- Collections ----

Worksheet& Worksheets::operator()(const std::string& name) const {
  Worksheet* sheet = book_->FindSheet(name);
  if (sheet == nullptr) Raise(kErrSubscript);
  return *sheet;
}

Workbook& Workbooks::operator()(const std::string& name) const {
  Workbook* book = app_->FindWorkbook(name);
  if (book == nullptr) Raise(kErrSubscript);
  return *book;
}

}  // namespace fenban::host
