// Formulas on a model sheet: every cell of the area gets the formula and its
// value at once. Cells of the area read by another cell of the area are
// computed first, whatever their position.
#include <cmath>
#include <vector>

#include "host/errors.h"
#include "host/formula.h"
#include "host/model_worksheet.h"
#include "host/rect_ops.h"

namespace fenban::host {

namespace {

// Deepest chain of area cells computed on demand; beyond it a cell reads
// the value it held before.
constexpr int32_t kMaxDepth = 512;

class AreaCells final : public FormulaCells {
 public:
  AreaCells(ModelWorksheet& sheet, const Rect& area, const FormulaNode& node,
            SharedText text)
      : sheet_(sheet), area_(area), node_(node), formula_(sheet.AddFormula(std::move(text))),
        state_(static_cast<size_t>(area.Rows()) * static_cast<size_t>(area.Columns()), kPending) {}

  void ComputeAll() {
    for (int32_t r = area_.row1; r <= area_.row2; ++r) {
      for (int32_t c = area_.col1; c <= area_.col2; ++c) {
        if (state_[Index(r, c)] == kPending) Compute(r, c);
      }
    }
  }

  Value Read(int32_t row, int32_t column) override {
    if (area_.Contains(row, column)) {
      const uint8_t state = state_[Index(row, column)];
      if (state == kBusy) return Value(0.0);  // a circular reference reads 0
      if (state == kPending && depth_ < kMaxDepth) Compute(row, column);
    }
    const Cell* cell = sheet_.FindCell(row, column);
    return cell == nullptr ? Value() : cell->value;
  }

  void ForEach(const Rect& area, const std::function<void(const Value&, const std::string*)>& visit) override {
    const auto& rows = sheet_.RowsData();
    const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows.size()));
    for (int32_t r = area.row1; r <= lastRow; ++r) {
      const int32_t width = static_cast<int32_t>(sheet_.RowsData()[static_cast<size_t>(r - 1)].cells.size());
      const int32_t lastColumn = std::min(area.col2, width);
      for (int32_t c = area.col1; c <= lastColumn; ++c) {
        const Value value = Read(r, c);
        if (value.IsEmpty()) continue;
        const Cell* cell = sheet_.FindCell(r, c);
        const std::string* formula = cell != nullptr && cell->formula != 0 ? &sheet_.Formula(cell->formula).Str() : nullptr;
        visit(value, formula);
      }
    }
  }

 private:
  static constexpr uint8_t kPending = 0, kBusy = 1, kDone = 2;

  size_t Index(int32_t row, int32_t column) const {
    return static_cast<size_t>(row - area_.row1) * static_cast<size_t>(area_.Columns()) +
           static_cast<size_t>(column - area_.col1);
  }

  void Compute(int32_t row, int32_t column) {
    state_[Index(row, column)] = kBusy;
    ++depth_;
    Value value = EvaluateFormula(node_, row, column, *this);
    if (value.IsNumber() && !std::isfinite(value.Number())) value = Value(ErrorValue{"#NUM!"});
    --depth_;
    // The area's cells exist already, so this does not move any storage.
    Cell& cell = sheet_.CellAt(row, column);
    cell.value = std::move(value);
    cell.formula = formula_;
    state_[Index(row, column)] = kDone;
  }

  ModelWorksheet& sheet_;
  Rect area_;
  const FormulaNode& node_;
  uint32_t formula_;  // the area's entry in the sheet's formula table
  std::vector<uint8_t> state_;
  int32_t depth_ = 0;
};

}  // namespace

void ModelWorksheet::SetFormulaR1C1(const Rect& area, const std::string& formula) {
  CheckRect(area);
  ContentChanged();
  if (formula.empty() || formula.front() != '=') {
    // Not a formula: the text is entered as a constant, a number when it reads as one.
    Value value;
    double number = 0;
    if (ParseNumber(formula, number)) {
      value = Value(number);
    } else {
      value = Value(formula);
    }
    Rect target = area;
    if (value.IsEmpty() && int64_t{area.Rows()} * area.Columns() > 4096) {
      const Rect used = UsedRect();
      target = Rect{std::max(area.row1, used.row1), std::max(area.col1, used.col1), std::min(area.row2, used.row2),
                    std::min(area.col2, used.col2)};
    }
    for (int32_t r = target.row1; r <= target.row2; ++r) {
      for (int32_t c = target.col1; c <= target.col2; ++c) SetCellValue(r, c, value);
    }
    return;
  }
  const FormulaNode node = ParseFormulaR1C1(formula);
  // References move with the cell, so checking the corners checks every cell.
  for (int32_t r : {area.row1, area.row2}) {
    for (int32_t c : {area.col1, area.col2}) {
      if (!ReferencesInside(node, r, c)) Raise(kErrHost, "公式引用了工作表范围以外的单元格: " + formula);
    }
  }
  TrimFormulas();
  // Create the area's cells first so that computing never moves storage.
  CellAt(area.row2, area.col2);
  for (int32_t r = area.row1; r <= area.row2; ++r) CellAt(r, area.col2);
  AreaCells cells(*this, area, node, SharedText(formula));
  cells.ComputeAll();
}

}  // namespace fenban::host
