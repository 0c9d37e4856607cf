#include "host/model_worksheet.h"

#include <algorithm>
#include <cmath>

#include "host/errors.h"
#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/rect_ops.h"

namespace fenban::host {

namespace {

const Value kEmptyValue;
constexpr size_t kMaxCellText = 32767;

void CheckMargin(double points) {
  if (!(points >= 0 && points <= 1000)) Raise(kErrHost, "页边距必须是不小于 0 的数值");
}

// Parses print title rows such as "$1:$2", "$1", "1:3"; false when malformed.
bool ParseTitleRows(const std::string& text, int32_t& first, int32_t& last) {
  auto parseRow = [](std::string_view part, int32_t& row) {
    if (!part.empty() && part.front() == '$') part.remove_prefix(1);
    if (part.empty() || part.size() > 7) return false;
    int32_t value = 0;
    for (char ch : part) {
      if (ch < '0' || ch > '9') return false;
      value = value * 10 + (ch - '0');
    }
    if (value < 1 || value > kMaxRows) return false;
    row = value;
    return true;
  };
  const size_t colon = text.find(':');
  std::string_view all(text);
  if (colon == std::string::npos) {
    if (!parseRow(all, first)) return false;
    last = first;
    return true;
  }
  if (!parseRow(all.substr(0, colon), first) || !parseRow(all.substr(colon + 1), last)) return false;
  if (first > last) std::swap(first, last);
  return true;
}

}  // namespace

// The page set-up object of a model sheet: checks each value and keeps it.
class ModelWorksheet::ModelPageSetup final : public PageSetup {
 public:
  explicit ModelPageSetup(ModelWorksheet& sheet) : sheet_(sheet) {}

  void SetOrientation(int32_t orientation) override {
    if (orientation != kPortrait && orientation != kLandscape) Raise(kErrHost, "无效的纸张方向");
    Data().orientation = orientation;
  }
  void SetTopMargin(double points) override { SetMargin(Data().topMargin, points); }
  void SetBottomMargin(double points) override { SetMargin(Data().bottomMargin, points); }
  void SetHeaderMargin(double points) override { SetMargin(Data().headerMargin, points); }
  void SetFooterMargin(double points) override { SetMargin(Data().footerMargin, points); }
  void SetLeftMargin(double points) override { SetMargin(Data().leftMargin, points); }
  void SetRightMargin(double points) override { SetMargin(Data().rightMargin, points); }
  void SetCenterFooter(const std::string& text) override {
    if (CharCount(text) > 255) Raise(kErrHost, "页脚文字过长");
    Data().centerFooter = text;
  }
  void SetZoom(int32_t percent) override {
    if (percent < 10 || percent > 400) Raise(kErrHost, "缩放比例必须在 10 到 400 之间");
    Data().zoom = percent;
  }
  void SetPaperSize(int32_t paperSize) override {
    if (paperSize < 1 || paperSize > 255) Raise(kErrHost, "无效的纸张大小");
    Data().paperSize = paperSize;
  }
  void SetCenterHorizontally(bool center) override { Data().centerHorizontally = center; }
  void SetPrintTitleRows(const std::string& rows) override {
    if (rows.empty()) {
      Data().printTitleFirstRow = 0;
      Data().printTitleLastRow = 0;
      return;
    }
    int32_t first = 0, last = 0;
    if (!ParseTitleRows(rows, first, last)) Raise(kErrHost, "无效的打印标题行: " + rows);
    Data().printTitleFirstRow = first;
    Data().printTitleLastRow = last;
  }

 private:
  PageSetupData& Data() { return sheet_.pageSetup_; }
  void SetMargin(double& field, double points) {
    CheckMargin(points);
    field = points;
    Data().marginsSet = true;
  }
  ModelWorksheet& sheet_;
};

ModelWorksheet::ModelWorksheet(ModelWorkbook& book, std::string name)
    : book_(&book), name_(std::move(name)), pageSetupObject_(std::make_unique<ModelPageSetup>(*this)) {}

std::unique_ptr<ModelWorksheet> ModelWorksheet::CloneFor(ModelWorkbook& book) const {
  auto copy = std::make_unique<ModelWorksheet>(book, name_);
  copy->visible_ = visible_;
  copy->rows_ = rows_;
  copy->columns_ = columns_;
  copy->sheetStyle_ = sheetStyle_;
  copy->merges_ = merges_;
  copy->pageBreaks_ = pageBreaks_;
  copy->pageSetup_ = pageSetup_;
  copy->validations_ = validations_;
  copy->uncomputed_ = uncomputed_;
  copy->formulas_ = formulas_;
  copy->compactFormulasAt_ = compactFormulasAt_;
  copy->autoFilter_ = autoFilter_;
  copy->printArea_ = printArea_;
  copy->view_ = view_;
  copy->defaultRowHeight_ = defaultRowHeight_;
  copy->defaultColumnWidth_ = defaultColumnWidth_;
  return copy;
}

void ModelWorksheet::SetName(const std::string& name) {
  book_->CheckSheetName(name, this);
  name_ = name;
}

Workbook& ModelWorksheet::Parent() { return *book_; }

void ModelWorksheet::SetVisible(int32_t visible) {
  if (visible == 1) visible = kSheetVisible;
  if (visible != kSheetVisible && visible != kSheetHidden && visible != kSheetVeryHidden) {
    Raise(kErrHost, "无效的工作表可见性");
  }
  if (visible == visible_) return;
  if (visible != kSheetVisible && visible_ == kSheetVisible && book_->VisibleSheetCount() <= 1) {
    Raise(kErrHost, "工作簿中至少要有一张可见的工作表");
  }
  visible_ = visible;
  const int32_t index = book_->IndexOf(*this);
  if (visible_ != kSheetVisible && book_->ActiveSheetIndex() == index) book_->ActivateNearestVisible(index);
}

void ModelWorksheet::Activate() {
  if (visible_ != kSheetVisible) Raise(kErrHost, "无法激活隐藏的工作表");
  book_->SetActiveSheetIndex(book_->IndexOf(*this));
  book_->Activate();
}

void ModelWorksheet::Delete() { book_->RemoveSheet(*this); }

const Cell* ModelWorksheet::FindCell(int32_t row, int32_t column) const {
  if (row < 1 || column < 1 || static_cast<size_t>(row) > rows_.size()) return nullptr;
  const auto& cells = rows_[static_cast<size_t>(row - 1)].cells;
  if (static_cast<size_t>(column) > cells.size()) return nullptr;
  return &cells[static_cast<size_t>(column - 1)];
}

Cell& ModelWorksheet::CellAt(int32_t row, int32_t column) {
  CheckCell(row, column);
  ContentChanged();
  if (static_cast<size_t>(row) > rows_.size()) rows_.resize(static_cast<size_t>(row));
  auto& cells = rows_[static_cast<size_t>(row - 1)].cells;
  const auto wanted = static_cast<size_t>(column);
  if (wanted > cells.size()) {
    // A row grows by a quarter (at least four cells), not by doubling: a
    // column added beside a table of a million rows (a sort key, a class
    // number) should not double the memory of every row.
    if (wanted > cells.capacity()) cells.reserve(std::max(wanted, cells.size() + std::max<size_t>(4, cells.size() / 4)));
    cells.resize(wanted);
  }
  return cells[static_cast<size_t>(column - 1)];
}

void ModelWorksheet::ReserveRow(int32_t row, int32_t lastColumn) {
  CheckCell(row, 1);
  if (lastColumn < 1) return;
  if (static_cast<size_t>(row) > rows_.size()) rows_.resize(static_cast<size_t>(row));
  auto& cells = rows_[static_cast<size_t>(row - 1)].cells;
  const auto wanted = static_cast<size_t>(std::min(lastColumn, kMaxColumns));
  if (cells.capacity() < wanted) cells.reserve(wanted);
}

const Value& ModelWorksheet::CellValue(int32_t row, int32_t column) const {
  CheckCell(row, column);
  const Cell* cell = FindCell(row, column);
  return cell == nullptr ? kEmptyValue : cell->value;
}

void ModelWorksheet::SetCellValue(int32_t row, int32_t column, Value value) {
  CheckCell(row, column);
  // A cell cannot hold an empty text: writing one empties the cell.
  if (value.IsText() && value.Text().empty()) value = Value();
  if (value.IsText() && value.Text().size() > kMaxCellText && CharCount(value.Text()) > kMaxCellText) {
    Raise(kErrHost, "单元格文字不能超过 32767 个字符");
  }
  // Not-a-number and infinities cannot stand in a cell; they show as #NUM!.
  if (value.IsNumber() && !std::isfinite(value.Number())) value = Value(ErrorValue{"#NUM!"});
  if (value.IsEmpty() && FindCell(row, column) == nullptr) return;
  const bool severalLines = value.IsText() && value.Text().find('\n') != std::string_view::npos;
  Cell& cell = CellAt(row, column);
  cell.value = std::move(value);
  cell.formula = 0;
  if (severalLines) WrapEnteredLines(row, column);
}

std::string ModelWorksheet::CellFormulaR1C1(int32_t row, int32_t column) const {
  CheckCell(row, column);
  const Cell* cell = FindCell(row, column);
  return cell == nullptr ? std::string() : formulas_[cell->formula].Str();
}

std::string ModelWorksheet::UncomputedFormula(int32_t row, int32_t column) const {
  const auto found = uncomputed_.find({row, column});
  if (found == uncomputed_.end()) return "";
  const Cell* cell = FindCell(row, column);
  if (cell != nullptr && (!cell->value.IsEmpty() || cell->formula)) return "";
  return found->second;
}

uint32_t ModelWorksheet::AddFormula(SharedText text) {
  formulas_.push_back(std::move(text));
  return static_cast<uint32_t>(formulas_.size() - 1);
}

void ModelWorksheet::TrimFormulas() {
  if (formulas_.size() < compactFormulasAt_) return;
  CompactFormulas();
  compactFormulasAt_ = std::max(kMinFormulaTable, 2 * formulas_.size());
}

void ModelWorksheet::CompactFormulas() {
  // newIndex[i]: where entry i goes; 0 while no cell is found to use it.
  std::vector<uint32_t> newIndex(formulas_.size(), 0);
  for (const RowData& row : rows_) {
    for (const Cell& cell : row.cells) newIndex[cell.formula] = 1;
  }
  std::vector<SharedText> kept{SharedText()};
  for (size_t i = 1; i < formulas_.size(); ++i) {
    if (newIndex[i] == 0) continue;
    newIndex[i] = static_cast<uint32_t>(kept.size());
    kept.push_back(std::move(formulas_[i]));
  }
  newIndex[0] = 0;
  for (RowData& row : rows_) {
    for (Cell& cell : row.cells) cell.formula = newIndex[cell.formula];
  }
  formulas_ = std::move(kept);
}

uint32_t ModelWorksheet::EffectiveStyleIndex(int32_t row, int32_t column) const {
  return EffectiveStyleIndex(FindCell(row, column), row, column);
}

uint32_t ModelWorksheet::EffectiveStyleIndex(const Cell* cell, int32_t row, int32_t column) const {
  if (cell != nullptr && cell->style != 0) return cell->style;
  if (row >= 1 && static_cast<size_t>(row) <= rows_.size()) {
    const uint32_t rowStyle = rows_[static_cast<size_t>(row - 1)].style;
    if (rowStyle != 0) return rowStyle;
  }
  if (column >= 1 && static_cast<size_t>(column) <= columns_.size()) {
    const uint32_t columnStyle = columns_[static_cast<size_t>(column - 1)].style;
    if (columnStyle != 0) return columnStyle;
  }
  return sheetStyle_;
}

CellStyle ModelWorksheet::CellFormat(int32_t row, int32_t column) const {
  CheckCell(row, column);
  return book_->Styles().Get(EffectiveStyleIndex(row, column));
}

// ---- Regions ----

namespace {

bool HasValue(const Cell& cell) { return !cell.value.IsEmpty(); }

}  // namespace

Rect ModelWorksheet::CurrentRegion(int32_t row, int32_t column) const {
  CheckCell(row, column);
  if (regionMemo_.version == contentVersion_ && regionMemo_.row == row && regionMemo_.column == column) {
    return regionMemo_.region;
  }
  auto rowHasValue = [this](int32_t r, int32_t c1, int32_t c2) {
    if (r < 1 || static_cast<size_t>(r) > rows_.size()) return false;
    const auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
    const int32_t last = std::min<int32_t>(c2, static_cast<int32_t>(cells.size()));
    for (int32_t c = std::max(c1, 1); c <= last; ++c) {
      if (HasValue(cells[static_cast<size_t>(c - 1)])) return true;
    }
    return false;
  };
  auto columnHasValue = [this](int32_t c, int32_t r1, int32_t r2) {
    if (c < 1 || c > kMaxColumns) return false;
    const int32_t last = std::min<int32_t>(r2, static_cast<int32_t>(rows_.size()));
    for (int32_t r = std::max(r1, 1); r <= last; ++r) {
      const auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
      if (static_cast<size_t>(c) <= cells.size() && HasValue(cells[static_cast<size_t>(c - 1)])) return true;
    }
    return false;
  };
  Rect region{row, column, row, column};
  bool changed = true;
  while (changed) {
    changed = false;
    while (region.row1 > 1 && rowHasValue(region.row1 - 1, region.col1 - 1, region.col2 + 1)) {
      --region.row1;
      changed = true;
    }
    while (region.row2 < kMaxRows && rowHasValue(region.row2 + 1, region.col1 - 1, region.col2 + 1)) {
      ++region.row2;
      changed = true;
    }
    while (region.col1 > 1 && columnHasValue(region.col1 - 1, region.row1 - 1, region.row2 + 1)) {
      --region.col1;
      changed = true;
    }
    while (region.col2 < kMaxColumns && columnHasValue(region.col2 + 1, region.row1 - 1, region.row2 + 1)) {
      ++region.col2;
      changed = true;
    }
  }
  regionMemo_ = RegionMemo{contentVersion_, row, column, region};
  return region;
}

Rect ModelWorksheet::UsedRect() const {
  return ValuesWithin(Rect{1, 1, kMaxRows, kMaxColumns}).value_or(Rect{1, 1, 1, 1});
}

std::optional<Rect> ModelWorksheet::ValuesWithin(const Rect& area) const {
  CheckRect(area);
  std::optional<Rect> found;
  const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
  for (int32_t r = area.row1; r <= lastRow; ++r) {
    const auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
    // The first and the last value of the row within the area, each found
    // from its own end: a row of values costs two cells, not all of them.
    int32_t first = area.col1;
    int32_t last = std::min<int32_t>(area.col2, static_cast<int32_t>(cells.size()));
    while (first <= last && !HasValue(cells[static_cast<size_t>(first - 1)])) ++first;
    if (first > last) continue;
    while (!HasValue(cells[static_cast<size_t>(last - 1)])) --last;
    if (!found) {
      found = Rect{r, first, r, last};
    } else {
      found->row2 = r;
      found->col1 = std::min(found->col1, first);
      found->col2 = std::max(found->col2, last);
    }
  }
  return found;
}

// ---- Clearing ----

void ModelWorksheet::Clear(const Rect& area) {
  CheckRect(area);
  ContentChanged();
  const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
  for (int32_t r = area.row1; r <= lastRow; ++r) {
    RowData& rowData = rows_[static_cast<size_t>(r - 1)];
    if (area.IsEntireRows()) {
      std::vector<Cell>().swap(rowData.cells);
      rowData.style = 0;
      continue;
    }
    const int32_t lastColumn = std::min<int32_t>(area.col2, static_cast<int32_t>(rowData.cells.size()));
    for (int32_t c = area.col1; c <= lastColumn; ++c) rowData.cells[static_cast<size_t>(c - 1)] = Cell{};
    const size_t before = rowData.cells.size();
    while (!rowData.cells.empty() && rowData.cells.back().value.IsEmpty() && rowData.cells.back().style == 0) {
      rowData.cells.pop_back();
    }
    // A row made shorter gives back its room (a cleared sort key or helper
    // column beside a table of a million rows would otherwise keep it).
    if (rowData.cells.size() < before) rowData.cells.shrink_to_fit();
  }
  if (area.IsEntireColumns()) {
    const int32_t lastColumn = std::min<int32_t>(area.col2, static_cast<int32_t>(columns_.size()));
    for (int32_t c = area.col1; c <= lastColumn; ++c) columns_[static_cast<size_t>(c - 1)].style = 0;
  }
  if (area.IsWholeSheet()) {
    sheetStyle_ = 0;
    autoFilter_.reset();
    printArea_.reset();
  }
  while (!rows_.empty() && rows_.back().cells.empty() && rows_.back().style == 0 && rows_.back().height < 0) {
    rows_.pop_back();
  }
  if (rows_.empty()) std::vector<RowData>().swap(rows_);
  std::erase_if(merges_, [&area](const Rect& merge) { return Intersects(merge, area); });
  DeleteValidation(area);
}

// ---- Widths, heights, merges ----

double ModelWorksheet::ColumnWidth(int32_t column) const {
  CheckCell(1, column);
  if (static_cast<size_t>(column) <= columns_.size()) {
    const double width = columns_[static_cast<size_t>(column - 1)].width;
    if (width >= 0) return width;
  }
  return defaultColumnWidth_;
}

void ModelWorksheet::SetColumnWidth(int32_t firstColumn, int32_t lastColumn, double width) {
  CheckRect(Rect{1, firstColumn, 1, lastColumn});
  if (!(width >= 0 && width <= 255)) Raise(kErrHost, "列宽必须在 0 到 255 之间");
  if (firstColumn == 1 && lastColumn == kMaxColumns) {
    // Every column: the default width changes and no column keeps its own.
    defaultColumnWidth_ = width;
    for (ColumnData& column : columns_) column.width = -1;
    RefitRowHeights();
    return;
  }
  if (static_cast<size_t>(lastColumn) > columns_.size()) columns_.resize(static_cast<size_t>(lastColumn));
  for (int32_t c = firstColumn; c <= lastColumn; ++c) columns_[static_cast<size_t>(c - 1)].width = width;
  RefitRowHeights();
}

double ModelWorksheet::RowHeight(int32_t row) const {
  CheckCell(row, 1);
  if (static_cast<size_t>(row) <= rows_.size()) {
    const double height = rows_[static_cast<size_t>(row - 1)].height;
    if (height >= 0) return height;
  }
  return defaultRowHeight_;
}

void ModelWorksheet::SetRowHeight(int32_t firstRow, int32_t lastRow, double height) {
  CheckRect(Rect{firstRow, 1, lastRow, 1});
  if (!(height >= 0 && height <= 409)) Raise(kErrHost, "行高必须在 0 到 409 之间");
  if (firstRow == 1 && lastRow == kMaxRows) {
    defaultRowHeight_ = height;
    for (RowData& rowData : rows_) {
      rowData.height = -1;
      rowData.heightFitted = false;
    }
    return;
  }
  if (static_cast<size_t>(lastRow) > rows_.size()) rows_.resize(static_cast<size_t>(lastRow));
  for (int32_t r = firstRow; r <= lastRow; ++r) {
    rows_[static_cast<size_t>(r - 1)].height = height;
    rows_[static_cast<size_t>(r - 1)].heightFitted = false;
  }
}

void ModelWorksheet::UnMerge(const Rect& area) {
  CheckRect(area);
  ContentChanged();
  std::erase_if(merges_, [&area](const Rect& merge) { return Intersects(merge, area); });
}

void ModelWorksheet::Merge(const Rect& area) {
  CheckRect(area);
  if (area.row1 == area.row2 && area.col1 == area.col2) return;
  ContentChanged();
  std::erase_if(merges_, [&area](const Rect& merge) { return Intersects(merge, area); });
  merges_.push_back(area);
  // A merged cell shows the value of its top-left cell only; the others are emptied.
  const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
  for (int32_t r = area.row1; r <= lastRow; ++r) {
    auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
    const int32_t lastColumn = std::min<int32_t>(area.col2, static_cast<int32_t>(cells.size()));
    for (int32_t c = area.col1; c <= lastColumn; ++c) {
      if (r == area.row1 && c == area.col1) continue;
      Cell& cell = cells[static_cast<size_t>(c - 1)];
      cell.value = Value();
      cell.formula = 0;
    }
  }
}

// ---- Page breaks and set-up ----

void ModelWorksheet::AddHPageBreak(int32_t beforeRow) {
  if (beforeRow < 2 || beforeRow > kMaxRows) Raise(kErrHost, "分页符的位置超出工作表范围");
  const auto it = std::lower_bound(pageBreaks_.begin(), pageBreaks_.end(), beforeRow);
  if (it == pageBreaks_.end() || *it != beforeRow) pageBreaks_.insert(it, beforeRow);
}

PageSetup& ModelWorksheet::GetPageSetup() { return *pageSetupObject_; }

// ---- Validation ----

ValidationRule* ModelWorksheet::ValidationAt(int32_t row, int32_t column) {
  CheckCell(row, column);
  for (ValidationRule& rule : validations_) {
    if (rule.area.Contains(row, column)) return &rule;
  }
  return nullptr;
}

void ModelWorksheet::DeleteValidation(const Rect& area) {
  CheckRect(area);
  std::vector<ValidationRule> kept;
  for (const ValidationRule& rule : validations_) {
    const Rect& a = rule.area;
    if (!Intersects(a, area)) {
      kept.push_back(rule);
      continue;
    }
    // Keep the parts of the rule outside the area: bands above and below,
    // then the pieces left and right of it.
    auto keep = [&kept, &rule](Rect piece) {
      ValidationRule part = rule;
      part.area = piece;
      kept.push_back(part);
    };
    if (a.row1 < area.row1) keep(Rect{a.row1, a.col1, area.row1 - 1, a.col2});
    if (a.row2 > area.row2) keep(Rect{area.row2 + 1, a.col1, a.row2, a.col2});
    const int32_t midTop = std::max(a.row1, area.row1);
    const int32_t midBottom = std::min(a.row2, area.row2);
    if (a.col1 < area.col1) keep(Rect{midTop, a.col1, midBottom, area.col1 - 1});
    if (a.col2 > area.col2) keep(Rect{midTop, area.col2 + 1, midBottom, a.col2});
  }
  validations_ = std::move(kept);
}

void ModelWorksheet::AddValidation(const ValidationRule& rule) {
  CheckRect(rule.area);
  for (const ValidationRule& existing : validations_) {
    if (Intersects(existing.area, rule.area)) Raise(kErrHost, "该区域已有数据有效性，请先删除");
  }
  validations_.push_back(rule);
}

}  // namespace fenban::host
