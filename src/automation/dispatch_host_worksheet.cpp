#include "automation/dispatch_host_worksheet.h"

#include <oleauto.h>

#include <array>
#include <utility>

#include "automation/dispatch_host_application.h"
#include "automation/dispatch_host_workbook.h"
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

// A 2-D array of Variants for Range.Value, 1-based, rows first.
Variant ArrayOf(const SheetValueCache& values, const host::Rect& area) {
  SAFEARRAYBOUND bounds[2];
  bounds[0].lLbound = 1;
  bounds[0].cElements = static_cast<ULONG>(area.Rows());
  bounds[1].lLbound = 1;
  bounds[1].cElements = static_cast<ULONG>(area.Columns());
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (array == nullptr) throw std::bad_alloc();
  for (int32_t r = area.row1; r <= area.row2; ++r) {
    for (int32_t c = area.col1; c <= area.col2; ++c) {
      LONG index[2] = {r - area.row1 + 1, c - area.col1 + 1};
      Variant cell(values.Get(r, c));
      const HRESULT hr = SafeArrayPutElement(array, index, &cell.Raw());
      if (FAILED(hr)) {
        SafeArrayDestroy(array);
        RaiseComError(hr, nullptr, "Range.Value");
      }
    }
  }
  Variant v;
  v.Raw().vt = VT_ARRAY | VT_VARIANT;
  v.Raw().parray = array;
  return v;
}

// Calls `cell(row, column, value)` for each element of a Range.Value result
// whose first cell is (row1, column1): a 2-D array, or one value for one cell.
template <class F>
void ForEachCell(const VARIANT& result, int32_t row1, int32_t column1, F&& cell) {
  const VARIANT& v = Unwrap(result);
  if ((v.vt & VT_ARRAY) == 0) {
    cell(row1, column1, v);
    return;
  }
  SAFEARRAY* array = (v.vt & VT_BYREF) ? *v.pparray : v.parray;
  if (array == nullptr || SafeArrayGetDim(array) != 2 || (v.vt & VT_TYPEMASK) != VT_VARIANT) {
    host::Raise(host::kErrTypeMismatch, "Range.Value 返回的不是二维数组");
  }
  LONG rowLow = 0, rowHigh = 0, colLow = 0, colHigh = 0;
  SafeArrayGetLBound(array, 1, &rowLow);
  SafeArrayGetUBound(array, 1, &rowHigh);
  SafeArrayGetLBound(array, 2, &colLow);
  SafeArrayGetUBound(array, 2, &colHigh);
  for (LONG r = rowLow; r <= rowHigh; ++r) {
    for (LONG c = colLow; c <= colHigh; ++c) {
      LONG index[2] = {r, c};
      Variant element;
      const HRESULT hr = SafeArrayGetElement(array, index, element.Out());
      if (FAILED(hr)) RaiseComError(hr, nullptr, "Range.Value");
      cell(row1 + static_cast<int32_t>(r - rowLow), column1 + static_cast<int32_t>(c - colLow), element.Raw());
    }
  }
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

void DispatchWorksheet::Load() const {
  values_.StartLoad();
  const Dispatch used = App().Object(sheet_, kWorksheet, L"UsedRange");
  const host::Rect usedArea = ParseAddress(ToText(Get(used, kRange, L"Address").Raw()));
  // From A1, so that a row and column of ours is one of the array's.
  const host::Rect block{1, 1, usedArea.row2, usedArea.col2};
  const Dispatch range = RangeOf(block);
  const Variant result = Get(range, kRange, L"Value");
  ForEachCell(result.Raw(), 1, 1, [this](int32_t r, int32_t c, const VARIANT& v) { values_.Assign(r, c, ToValue(v)); });
  // HasFormula is True, False or Null (some cells).
  const Variant hasFormula = Get(range, kRange, L"HasFormula");
  if (BaseType(hasFormula.Raw()) == VT_BOOL && !BoolOf(hasFormula)) return;
  const Variant formulas = Get(range, kRange, L"FormulaR1C1");
  ForEachCell(formulas.Raw(), 1, 1, [this](int32_t r, int32_t c, const VARIANT& v) {
    const std::string text = ToText(v);
    if (!text.empty() && text[0] == '=') values_.MarkFormulas(host::Rect{r, c, r, c});
  });
}

void DispatchWorksheet::BeforeCellCall() const { App().FlushWrites(); }

void DispatchWorksheet::AfterCellChange() { App().CellsChanged(this); }

void DispatchWorksheet::Forget() {
  values_.Drop();
  regions_.clear();
  used_.reset();
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
  used_.reset();
}

bool DispatchWorksheet::FlushWrites() {
  if (!values_.HasPending()) return false;
  const std::vector<host::Rect> blocks = values_.PendingBlocks();
  values_.ClearPending();
  for (const host::Rect& block : blocks) {
    const bool oneCell = block.row1 == block.row2 && block.col1 == block.col2;
    Variant value = oneCell ? Variant(values_.Get(block.row1, block.col1)) : ArrayOf(values_, block);
    PutOnRange(block, L"Value", std::move(value));
  }
  regions_.clear();
  used_.reset();
  return true;
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
  used_.reset();
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

host::Rect DispatchWorksheet::UsedRect() const {
  if (used_) return *used_;
  BeforeCellCall();
  const Dispatch used = App().Object(sheet_, kWorksheet, L"UsedRange");
  const host::Rect area = ParseAddress(ToText(Get(used, kRange, L"Address").Raw()));
  used_ = host::Rect{1, 1, area.row2, area.col2};
  return *used_;
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

void DispatchWorksheet::Sort(const host::Rect& area, host::SortKey key1, host::SortKey key2, int32_t header) {
  BeforeCellCall();
  const Dispatch range = RangeOf(area);
  std::vector<NamedArg> named;
  const auto key = [this, &area](int32_t column) {
    return Variant::Dispatch(RangeOf(host::Rect{area.row1, column, area.row1, column}).Get());
  };
  named.push_back(NamedArg{L"Key1", key(key1.column)});
  named.push_back(NamedArg{L"Order1", Variant::Long(key1.order)});
  if (key2.column != 0) {
    named.push_back(NamedArg{L"Key2", key(key2.column)});
    named.push_back(NamedArg{L"Order2", Variant::Long(key2.order)});
  }
  named.push_back(NamedArg{L"Header", Variant::Long(header)});
  Call(range, kRange, L"Sort", {}, std::move(named));
  AfterCellChange();
}

bool DispatchWorksheet::Replace(const host::Rect& area, const std::string& what, const std::string& replacement,
                                int32_t lookAt) {
  BeforeCellCall();
  const Variant changed = Call(RangeOf(area), kRange, L"Replace", {},
                               {NamedArg{L"What", Variant::Text(what)},
                                NamedArg{L"Replacement", Variant::Text(replacement)},
                                NamedArg{L"LookAt", Variant::Long(lookAt)}});
  AfterCellChange();
  return BaseType(changed.Raw()) == VT_BOOL && BoolOf(changed);
}

void DispatchWorksheet::Merge(const host::Rect& area) {
  BeforeCellCall();
  Call(RangeOf(area), kRange, L"Merge");
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
  const Dispatch breaks = App().Object(sheet_, kWorksheet, L"HPageBreaks");
  const Dispatch before = RangeOf(host::Rect{beforeRow, 1, beforeRow, 1});
  Call(breaks, "HPageBreaks", L"Add", {}, {NamedArg{L"Before", Variant::Dispatch(before.Get())}});
}

void DispatchWorksheet::ResetAllPageBreaks() { Call(sheet_, kWorksheet, L"ResetAllPageBreaks"); }

const std::vector<int32_t>& DispatchWorksheet::HPageBreaks() const {
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
