#include "automation/dispatch_host_worksheet.h"

#include <oleauto.h>

#include <array>
#include <utility>

#include "automation/dispatch_host_application.h"
#include "automation/dispatch_host_workbook.h"
#include "automation/value_array.h"
#include "host/constants.h"
#include "host/errors.h"
#include "host/page_setup.h"

namespace fenban::automation {

namespace {

constexpr const char* kWorksheet = "Worksheet";
constexpr const char* kRange = "Range";

int32_t LongOf(const Variant& v) { return ToValue(v.Raw()).ToLong(); }
double DoubleOf(const Variant& v) { return ToValue(v.Raw()).ToDouble(); }
bool BoolOf(const Variant& v) {
  const host::Value value = ToValue(v.Raw());
  return value.IsBoolean() ? value.Bool() : value.ToDouble() != 0;
}

}  // namespace

// PageSetup: each setter is one property of the sheet's PageSetup object.
class DispatchWorksheet::SheetPageSetup final : public host::PageSetup {
 public:
  explicit SheetPageSetup(DispatchWorksheet& sheet) : sheet_(sheet) {}
  void SetOrientation(int32_t orientation) override { Set(L"Orientation", Variant::Long(orientation)); }
  void SetTopMargin(double points) override { Set(L"TopMargin", Variant::Double(points)); }
  void SetBottomMargin(double points) override { Set(L"BottomMargin", Variant::Double(points)); }
  void SetHeaderMargin(double points) override { Set(L"HeaderMargin", Variant::Double(points)); }
  void SetFooterMargin(double points) override { Set(L"FooterMargin", Variant::Double(points)); }
  void SetLeftMargin(double points) override { Set(L"LeftMargin", Variant::Double(points)); }
  void SetRightMargin(double points) override { Set(L"RightMargin", Variant::Double(points)); }
  void SetCenterFooter(const std::string& text) override { Set(L"CenterFooter", Variant::Text(text)); }
  void SetZoom(int32_t percent) override { Set(L"Zoom", Variant::Long(percent)); }
  void SetPaperSize(int32_t paperSize) override { Set(L"PaperSize", Variant::Long(paperSize)); }
  void SetCenterHorizontally(bool center) override { Set(L"CenterHorizontally", Variant::Bool(center)); }
  void SetPrintTitleRows(const std::string& rows) override { Set(L"PrintTitleRows", Variant::Text(rows)); }

 private:
  void Set(const wchar_t* name, Variant value) {
    sheet_.App().StartPageSetup();
    if (!object_) object_ = sheet_.App().Object(sheet_.sheet_, kWorksheet, L"PageSetup");
    sheet_.App().Put(object_, "PageSetup", name, std::move(value));
  }
  DispatchWorksheet& sheet_;
  Dispatch object_;
};

DispatchWorksheet::DispatchWorksheet(DispatchWorkbook& book, Dispatch sheet)
    : book_(&book), sheet_(std::move(sheet)), pageSetup_(std::make_unique<SheetPageSetup>(*this)) {
  name_ = ToText(Get(sheet_, kWorksheet, L"Name").Raw());
}

DispatchWorksheet::~DispatchWorksheet() = default;

DispatchApplication& DispatchWorksheet::App() const { return book_->App(); }

Variant DispatchWorksheet::Get(const Dispatch& object, const char* kind, const wchar_t* name,
                               std::vector<Variant> args) const {
  return App().Get(object, kind, name, std::move(args));
}

void DispatchWorksheet::Put(const Dispatch& object, const char* kind, const wchar_t* name, Variant value) const {
  App().Put(object, kind, name, std::move(value));
}

Variant DispatchWorksheet::Call(const Dispatch& object, const char* kind, const wchar_t* name,
                                std::vector<Variant> args, std::vector<NamedArg> named) const {
  return App().Call(object, kind, name, std::move(args), std::move(named));
}

Dispatch DispatchWorksheet::RangeOf(const host::Rect& area) const {
  host::CheckRect(area);
  if (lastRange_ && lastRangeArea_ == area) return lastRange_;
  lastRange_ = area.IsWholeSheet() ? App().Object(sheet_, kWorksheet, L"Cells")
                                   : App().Object(sheet_, kWorksheet, L"Range", {Variant::Text(A1Address(area))});
  lastRangeArea_ = area;
  return lastRange_;
}

void DispatchWorksheet::PutOnRange(const host::Rect& area, const wchar_t* name, Variant value) {
  Put(RangeOf(area), kRange, name, std::move(value));
}

void DispatchWorksheet::PutOnPart(const host::Rect& area, const wchar_t* part, const char* partKind,
                                  const wchar_t* name, Variant value) {
  Put(App().Object(RangeOf(area), kRange, part), partKind, name, std::move(value));
}

// ---- the sheet itself ----

void DispatchWorksheet::SetName(const std::string& name) {
  Put(sheet_, kWorksheet, L"Name", Variant::Text(name));
  name_ = name;
}

host::Workbook& DispatchWorksheet::Parent() { return *book_; }

int32_t DispatchWorksheet::Visible() const { return LongOf(Get(sheet_, kWorksheet, L"Visible")); }

void DispatchWorksheet::SetVisible(int32_t visible) { Put(sheet_, kWorksheet, L"Visible", Variant::Long(visible)); }

void DispatchWorksheet::Activate() { Call(sheet_, kWorksheet, L"Activate"); }

void DispatchWorksheet::Delete() {
  App().FlushWrites();
  Call(sheet_, kWorksheet, L"Delete");
  if (App().ClipboardSheet() == this) App().SetClipboard(nullptr, host::Rect{});
  Forget();
  book_->Forget(*this);
}

// ---- values ----

void DispatchWorksheet::BeforeCellCall() const {
  App().EndPageSetup();
  App().FlushWrites();
}

void DispatchWorksheet::AfterCellChange() { App().CellsChanged(this); }

void DispatchWorksheet::Forget() {
  values_.Drop();
  regions_.clear();
}

const host::Value& DispatchWorksheet::CellValue(int32_t row, int32_t column) const {
  host::CheckRect(host::Rect{row, column, row, column});
  ++App().Traffic().reads;
  if (!values_.Loaded()) {
    BeforeCellCall();
    Load();
  }
  return values_.Get(row, column);
}

void DispatchWorksheet::SetCellValue(int32_t row, int32_t column, host::Value value) {
  host::CheckRect(host::Rect{row, column, row, column});
  ++App().Traffic().writes;
  if (!values_.Loaded()) {
    BeforeCellCall();
    Load();
  }
  values_.Write(row, column, std::move(value));
  regions_.clear();
}

std::string DispatchWorksheet::CellFormulaR1C1(int32_t row, int32_t column) const {
  BeforeCellCall();
  const Dispatch cell = RangeOf(host::Rect{row, column, row, column});
  if (!BoolOf(Get(cell, kRange, L"HasFormula"))) return "";
  return ToText(Get(cell, kRange, L"FormulaR1C1").Raw());
}

void DispatchWorksheet::SetFormulaR1C1(const host::Rect& area, const std::string& formula) {
  BeforeCellCall();
  const Dispatch range = RangeOf(area);
  Put(range, kRange, L"FormulaR1C1", Variant::Text(formula));
  regions_.clear();
  if (!values_.Loaded()) return;
  if (int64_t{area.Rows()} * area.Columns() > SheetValueCache::kMaxTrackedFormulaCells) {
    Forget();
    return;
  }
  // The application computed the formulas at once: read their results back.
  values_.MarkFormulas(area);
  const Variant results = Get(range, kRange, L"Value");
  ForEachCell(results.Raw(), area.row1, area.col1,
              [this](int32_t r, int32_t c, const VARIANT& v) { values_.Assign(r, c, ToValue(v)); });
}

host::Rect DispatchWorksheet::CurrentRegion(int32_t row, int32_t column) const {
  const auto known = regions_.find({row, column});
  if (known != regions_.end()) return known->second;
  BeforeCellCall();
  const Dispatch region = App().Object(RangeOf(host::Rect{row, column, row, column}), kRange, L"CurrentRegion");
  const host::Rect area = ParseAddress(ToText(Get(region, kRange, L"Address").Raw()));
  regions_[{row, column}] = area;
  return area;
}

std::optional<host::Rect> DispatchWorksheet::ValuesWithin(const host::Rect& area) const {
  host::CheckRect(area);
  if (!values_.Loaded()) {
    BeforeCellCall();
    Load();
  }
  return values_.ValuesWithin(area);
}

// ---- operations that change cells in the application ----

void DispatchWorksheet::Clear(const host::Rect& area) {
  BeforeCellCall();
  Call(RangeOf(area), kRange, L"Clear");
  AfterCellChange();
}

void DispatchWorksheet::CopyTo(const host::Rect& area, host::Worksheet& dest, int32_t row, int32_t column) {
  auto* target = dynamic_cast<DispatchWorksheet*>(&dest);
  if (target == nullptr) host::Raise(host::kErrHost, "目标工作表不属于本程序打开的工作簿");
  BeforeCellCall();
  const Dispatch destination = target->RangeOf(host::Rect{row, column, row, column});
  Call(RangeOf(area), kRange, L"Copy", {}, {NamedArg{L"Destination", Variant::Dispatch(destination.Get())}});
  target->AfterCellChange();
}

void DispatchWorksheet::PasteValuesTo(const host::Rect& area, host::Worksheet& dest, int32_t row, int32_t column) {
  auto* target = dynamic_cast<DispatchWorksheet*>(&dest);
  if (target == nullptr) host::Raise(host::kErrHost, "目标工作表不属于本程序打开的工作簿");
  // The area is on the clipboard already (Range.Copy); this pastes its values.
  if (App().ClipboardSheet() != this || !(App().ClipboardArea() == area)) App().SetClipboard(this, area);
  BeforeCellCall();
  const Dispatch destination = target->RangeOf(host::Rect{row, column, row, column});
  Call(destination, kRange, L"PasteSpecial", {}, {NamedArg{L"Paste", Variant::Long(host::kPasteValues)}});
  target->AfterCellChange();
}

void DispatchWorksheet::DeleteCells(const host::Rect& area, int32_t shift) {
  BeforeCellCall();
  Call(RangeOf(area), kRange, L"Delete", {}, {NamedArg{L"Shift", Variant::Long(shift)}});
  // Range objects follow their cells when cells shift: none is kept.
  lastRange_ = Dispatch();
  AfterCellChange();
}

void DispatchWorksheet::InsertCells(const host::Rect& area, int32_t shift) {
  BeforeCellCall();
  Call(RangeOf(area), kRange, L"Insert", {}, {NamedArg{L"Shift", Variant::Long(shift)}});
  lastRange_ = Dispatch();
  AfterCellChange();
}

void DispatchWorksheet::Merge(const host::Rect& area) {
  BeforeCellCall();
  Call(RangeOf(area), kRange, L"Merge");
  AfterCellChange();
}

void DispatchWorksheet::UnMerge(const host::Rect& area) {
  BeforeCellCall();
  Call(RangeOf(area), kRange, L"UnMerge");
  AfterCellChange();
}

void DispatchWorksheet::AutoFit(int32_t firstColumn, int32_t lastColumn) {
  BeforeCellCall();
  Call(RangeOf(host::Rect{1, firstColumn, host::kMaxRows, lastColumn}), kRange, L"AutoFit");
}

// ---- formats ----

host::CellStyle DispatchWorksheet::CellFormat(int32_t row, int32_t column) const {
  const Dispatch cell = RangeOf(host::Rect{row, column, row, column});
  const Dispatch font = App().Object(cell, kRange, L"Font");
  host::CellStyle style;
  style.fontSize = DoubleOf(Get(font, "Font", L"Size"));
  style.bold = BoolOf(Get(font, "Font", L"Bold"));
  style.fontColor = LongOf(Get(font, "Font", L"Color"));
  style.fillColorIndex = LongOf(Get(App().Object(cell, kRange, L"Interior"), "Interior", L"ColorIndex"));
  const Dispatch borders = App().Object(cell, kRange, L"Borders");
  const int32_t edges[4] = {host::kEdgeLeft, host::kEdgeTop, host::kEdgeBottom, host::kEdgeRight};
  for (size_t side = 0; side < 4; ++side) {
    const Dispatch border = App().Object(borders, "Borders", L"Item", {Variant::Long(edges[side])});
    const int32_t line = LongOf(Get(border, "Border", L"LineStyle"));
    style.borders[side] = line == host::kLineNone ? 0 : line;
  }
  style.horizontalAlignment = LongOf(Get(cell, kRange, L"HorizontalAlignment"));
  style.verticalAlignment = LongOf(Get(cell, kRange, L"VerticalAlignment"));
  style.wrapText = BoolOf(Get(cell, kRange, L"WrapText"));
  style.numberFormat = ToText(Get(cell, kRange, L"NumberFormat").Raw());
  return style;
}

void DispatchWorksheet::Format(const host::Rect& area, const std::function<void(host::CellStyle&)>& change) {
  // Which members the change sets: apply it to two styles that differ in
  // every member; a member it sets comes out the same in both.
  host::CellStyle a;
  host::CellStyle b;
  b.fontSize = a.fontSize + 1;
  b.bold = !a.bold;
  b.fontColor = 1;
  b.fillColorIndex = 1;
  b.borders = {1, 1, 1, 1};
  b.horizontalAlignment = host::kAlignLeft;
  b.verticalAlignment = host::kAlignTop;
  b.wrapText = !a.wrapText;
  b.numberFormat = "0";
  change(a);
  change(b);
  int32_t bordersSet = 0;
  for (size_t side = 0; side < 4; ++side) bordersSet += a.borders[side] == b.borders[side] ? 1 : 0;
  if (bordersSet == 4 && a.borders == std::array<int32_t, 4>{a.borders[0], a.borders[0], a.borders[0], a.borders[0]}) {
    SetBorderLineStyle(area, 0, a.borders[0] == 0 ? host::kLineNone : a.borders[0]);
  } else if (bordersSet != 0) {
    host::Raise(host::kErrHost, "经自动化接口只能给区域的所有边设同一种边框");
  }
  if (a.fontSize == b.fontSize) SetFontSize(area, a.fontSize);
  if (a.bold == b.bold) SetFontBold(area, a.bold);
  if (a.fontColor == b.fontColor) SetFontColor(area, a.fontColor);
  if (a.fillColorIndex == b.fillColorIndex) SetInteriorColorIndex(area, a.fillColorIndex);
  if (a.horizontalAlignment == b.horizontalAlignment) SetHorizontalAlignment(area, a.horizontalAlignment);
  if (a.verticalAlignment == b.verticalAlignment) SetVerticalAlignment(area, a.verticalAlignment);
  if (a.wrapText == b.wrapText) PutOnRange(area, L"WrapText", Variant::Bool(a.wrapText));
  if (a.numberFormat == b.numberFormat) PutOnRange(area, L"NumberFormat", Variant::Text(a.numberFormat));
}

void DispatchWorksheet::SetFontSize(const host::Rect& area, double size) {
  PutOnPart(area, L"Font", "Font", L"Size", Variant::Double(size));
}

void DispatchWorksheet::SetFontBold(const host::Rect& area, bool bold) {
  PutOnPart(area, L"Font", "Font", L"Bold", Variant::Bool(bold));
}

void DispatchWorksheet::SetFontColor(const host::Rect& area, int32_t bgr) {
  PutOnPart(area, L"Font", "Font", L"Color", Variant::Long(bgr));
}

void DispatchWorksheet::SetBorderLineStyle(const host::Rect& area, int32_t index, int32_t lineStyle) {
  const Dispatch borders = App().Object(RangeOf(area), kRange, L"Borders");
  if (index == 0) {
    Put(borders, "Borders", L"LineStyle", Variant::Long(lineStyle));
    return;
  }
  const Dispatch border = App().Object(borders, "Borders", L"Item", {Variant::Long(index)});
  Put(border, "Border", L"LineStyle", Variant::Long(lineStyle));
}

void DispatchWorksheet::SetInteriorColorIndex(const host::Rect& area, int32_t colorIndex) {
  PutOnPart(area, L"Interior", "Interior", L"ColorIndex", Variant::Long(colorIndex));
}

void DispatchWorksheet::SetHorizontalAlignment(const host::Rect& area, int32_t alignment) {
  PutOnRange(area, L"HorizontalAlignment", Variant::Long(alignment));
}

void DispatchWorksheet::SetVerticalAlignment(const host::Rect& area, int32_t alignment) {
  PutOnRange(area, L"VerticalAlignment", Variant::Long(alignment));
}

void DispatchWorksheet::SetNumberFormatLocal(const host::Rect& area, const std::string& format) {
  PutOnRange(area, L"NumberFormatLocal", Variant::Text(format));
}

std::optional<std::string> DispatchWorksheet::NumberFormatOf(const host::Rect& area) const {
  // NumberFormat of a range whose cells differ is Null.
  const Variant format = Get(RangeOf(area), kRange, L"NumberFormat");
  if (IsNull(format.Raw())) return std::nullopt;
  return ToText(format.Raw());
}

double DispatchWorksheet::ColumnWidth(int32_t column) const {
  return DoubleOf(Get(RangeOf(host::Rect{1, column, host::kMaxRows, column}), kRange, L"ColumnWidth"));
}

void DispatchWorksheet::SetColumnWidth(int32_t firstColumn, int32_t lastColumn, double width) {
  PutOnRange(host::Rect{1, firstColumn, host::kMaxRows, lastColumn}, L"ColumnWidth", Variant::Double(width));
}

double DispatchWorksheet::RowHeight(int32_t row) const {
  return DoubleOf(Get(RangeOf(host::Rect{row, 1, row, host::kMaxColumns}), kRange, L"RowHeight"));
}

void DispatchWorksheet::SetRowHeight(int32_t firstRow, int32_t lastRow, double height) {
  PutOnRange(host::Rect{firstRow, 1, lastRow, host::kMaxColumns}, L"RowHeight", Variant::Double(height));
}

const std::vector<host::Rect>& DispatchWorksheet::MergedAreas() const {
  host::Raise(host::kErrHost, "经自动化接口无法列出工作表的合并区域");
}

// ---- pages ----

void DispatchWorksheet::AddHPageBreak(int32_t beforeRow) {
  App().EndPageSetup();
  const Dispatch breaks = App().Object(sheet_, kWorksheet, L"HPageBreaks");
  const Dispatch before = RangeOf(host::Rect{beforeRow, 1, beforeRow, 1});
  Call(breaks, "HPageBreaks", L"Add", {}, {NamedArg{L"Before", Variant::Dispatch(before.Get())}});
}

void DispatchWorksheet::ResetAllPageBreaks() {
  App().EndPageSetup();
  Call(sheet_, kWorksheet, L"ResetAllPageBreaks");
}

const std::vector<int32_t>& DispatchWorksheet::HPageBreaks() const {
  App().EndPageSetup();
  const Dispatch breaks = App().Object(sheet_, kWorksheet, L"HPageBreaks");
  const int32_t count = LongOf(Get(breaks, "HPageBreaks", L"Count"));
  pageBreaks_.clear();
  for (int32_t i = 1; i <= count; ++i) {
    const Dispatch pageBreak = App().Object(breaks, "HPageBreaks", L"Item", {Variant::Long(i)});
    const Dispatch location = App().Object(pageBreak, "HPageBreak", L"Location");
    pageBreaks_.push_back(LongOf(Get(location, kRange, L"Row")));
  }
  return pageBreaks_;
}

host::PageSetup& DispatchWorksheet::GetPageSetup() { return *pageSetup_; }

// ---- validation ----

host::ValidationRule* DispatchWorksheet::ValidationAt(int32_t /*row*/, int32_t /*column*/) {
  host::Raise(host::kErrHost, "经自动化接口无法读出数据有效性规则");
}

void DispatchWorksheet::DeleteValidation(const host::Rect& area) {
  Call(App().Object(RangeOf(area), kRange, L"Validation"), "Validation", L"Delete");
}

void DispatchWorksheet::AddValidation(const host::ValidationRule& rule) {
  const Dispatch validation = App().Object(RangeOf(rule.area), kRange, L"Validation");
  Call(validation, "Validation", L"Add", {},
       {NamedArg{L"Type", Variant::Long(rule.type)}, NamedArg{L"AlertStyle", Variant::Long(rule.alertStyle)},
        NamedArg{L"Operator", Variant::Long(rule.op)}, NamedArg{L"Formula1", Variant::Text(rule.formula1)}});
}

void DispatchWorksheet::SetValidationIgnoreBlank(const host::Rect& area, bool ignore) {
  PutOnPart(area, L"Validation", "Validation", L"IgnoreBlank", Variant::Bool(ignore));
}

void DispatchWorksheet::SetValidationInputTitle(const host::Rect& area, const std::string& title) {
  PutOnPart(area, L"Validation", "Validation", L"InputTitle", Variant::Text(title));
}

void DispatchWorksheet::SetValidationInputMessage(const host::Rect& area, const std::string& message) {
  PutOnPart(area, L"Validation", "Validation", L"InputMessage", Variant::Text(message));
}

}  // namespace fenban::automation
