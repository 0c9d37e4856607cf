// Copying a block with its formats, and pasting its values only. Both go
// through a buffer, so source and destination may overlap.
#include <unordered_map>
#include <vector>

#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/rect_ops.h"

namespace fenban::host {

namespace {

struct CopiedCell {
  int32_t rowOffset = 0, columnOffset = 0;
  Value value;
  uint32_t formula = 0;  // index in the source sheet's formula table
  uint32_t style = 0;    // index in the source workbook's pool
};

Rect DestinationRect(const Rect& area, int32_t row, int32_t column) {
  const int64_t lastRow = int64_t{row} + area.Rows() - 1;
  const int64_t lastColumn = int64_t{column} + area.Columns() - 1;
  if (row < 1 || column < 1 || lastRow > kMaxRows || lastColumn > kMaxColumns) {
    Raise(kErrHost, "粘贴区域超出工作表范围");
  }
  return Rect{row, column, static_cast<int32_t>(lastRow), static_cast<int32_t>(lastColumn)};
}

}  // namespace

void ModelWorksheet::CopyTo(const Rect& area, Worksheet& dest, int32_t row, int32_t column) {
  CheckRect(area);
  const Rect target = DestinationRect(area, row, column);
  auto* model = dynamic_cast<ModelWorksheet*>(&dest);
  // Indices taken from here on stay good: neither table is trimmed again.
  TrimFormulas();
  if (model != nullptr) model->TrimFormulas();
  const StylePool& sourceStyles = book_->Styles();
  const bool whole = area.IsEntireRows() || area.IsEntireColumns();
  const int32_t lastRow = whole ? std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size())) : area.row2;

  // Calls visit(rowOffset, columnOffset, cell or nullptr, style) for every
  // cell of the area that carries a value, a formula or a format, row by row.
  auto forEachCopied = [&](auto&& visit) {
    for (int32_t r = area.row1; r <= lastRow; ++r) {
      const bool rowStored = static_cast<size_t>(r) <= rows_.size();
      const int32_t width = rowStored ? static_cast<int32_t>(rows_[static_cast<size_t>(r - 1)].cells.size()) : 0;
      const int32_t lastColumn = whole ? std::min(area.col2, width) : area.col2;
      for (int32_t c = area.col1; c <= lastColumn; ++c) {
        const Cell* cell = FindCell(r, c);
        // Whole rows and columns carry their row and column formats separately.
        const uint32_t style = whole ? (cell != nullptr ? cell->style : 0) : EffectiveStyleIndex(cell, r, c);
        if (style == 0 && (cell == nullptr || (cell->value.IsEmpty() && cell->formula == 0))) continue;
        visit(r - area.row1, c - area.col1, cell, style);
      }
    }
  };

  // The cells taken out into a buffer, for destinations that need it.
  auto collect = [&forEachCopied]() {
    std::vector<CopiedCell> copied;
    forEachCopied([&copied](int32_t rowOffset, int32_t columnOffset, const Cell* cell, uint32_t style) {
      CopiedCell item;
      item.rowOffset = rowOffset;
      item.columnOffset = columnOffset;
      if (cell != nullptr) {
        item.value = cell->value;
        item.formula = cell->formula;
      }
      item.style = style;
      copied.push_back(std::move(item));
    });
    return copied;
  };

  std::vector<RowData> copiedRows;
  if (area.IsEntireRows()) {
    for (int32_t r = area.row1; r <= lastRow; ++r) {
      RowData data;
      data.height = rows_[static_cast<size_t>(r - 1)].height;
      data.style = rows_[static_cast<size_t>(r - 1)].style;
      copiedRows.push_back(data);
    }
  }
  std::vector<ColumnData> copiedColumns;
  if (area.IsEntireColumns()) {
    for (int32_t c = area.col1; c <= std::min<int32_t>(area.col2, static_cast<int32_t>(columns_.size())); ++c) {
      copiedColumns.push_back(columns_[static_cast<size_t>(c - 1)]);
    }
  }
  std::vector<Rect> copiedMerges;
  for (const Rect& merge : merges_) {
    if (ContainsRect(area, merge)) {
      copiedMerges.push_back(Rect{merge.row1 - area.row1 + target.row1, merge.col1 - area.col1 + target.col1,
                                  merge.row2 - area.row1 + target.row1, merge.col2 - area.col1 + target.col1});
    }
  }

  if (model != nullptr) model->ContentChanged();
  if (model == nullptr) {
    // Another kind of sheet: write through its interface.
    std::vector<CopiedCell> copied = collect();
    dest.Clear(target);
    for (const CopiedCell& item : copied) {
      const int32_t r = target.row1 + item.rowOffset;
      const int32_t c = target.col1 + item.columnOffset;
      if (item.formula != 0) {
        dest.SetFormulaR1C1(Rect{r, c, r, c}, formulas_[item.formula].Str());
      } else {
        dest.SetCellValue(r, c, item.value);
      }
      if (item.style != 0) {
        const CellStyle style = sourceStyles.Get(item.style);
        dest.Format(Rect{r, c, r, c}, [&style](CellStyle& s) { s = style; });
      }
    }
    for (const Rect& merge : copiedMerges) dest.Merge(merge);
    return;
  }
  StylePool& destStyles = model->Book().Styles();
  const bool samePool = &destStyles == &sourceStyles;
  auto styleInDest = [&](uint32_t style) {
    if (style == 0 || samePool) return style;
    return destStyles.Intern(sourceStyles.Get(style));
  };
  // Another sheet gets one entry of its own for each formula entry copied.
  std::unordered_map<uint32_t, uint32_t> formulaInDest;
  auto place = [&](int32_t rowOffset, int32_t columnOffset, Value value, uint32_t formula,
                   uint32_t style) {
    if (formula != 0 && model != this) {
      const auto [found, added] = formulaInDest.try_emplace(formula, 0);
      if (added) found->second = model->AddFormula(formulas_[formula]);
      formula = found->second;
    }
    Cell& cell = model->CellAt(target.row1 + rowOffset, target.col1 + columnOffset);
    cell.value = std::move(value);
    cell.formula = formula;
    cell.style = styleInDest(style);
  };
  if (model == this) {
    // Source and destination may overlap: take the cells out first.
    std::vector<CopiedCell> copied = collect();
    dest.Clear(target);
    for (CopiedCell& item : copied) {
      place(item.rowOffset, item.columnOffset, std::move(item.value), item.formula, item.style);
    }
  } else {
    // Another sheet: the cells go straight across, each destination row
    // sized once for the cells it receives.
    dest.Clear(target);
    int32_t sizedRow = -1;
    forEachCopied([&](int32_t rowOffset, int32_t columnOffset, const Cell* cell, uint32_t style) {
      if (rowOffset != sizedRow) {
        sizedRow = rowOffset;
        const auto sourceRow = static_cast<size_t>(area.row1 + rowOffset);
        if (sourceRow <= rows_.size()) {
          const int32_t lastSource =
              std::min(area.col2, static_cast<int32_t>(rows_[sourceRow - 1].cells.size()));
          model->ReserveRow(target.row1 + rowOffset, target.col1 + (lastSource - area.col1));
        }
      }
      place(rowOffset, columnOffset, cell != nullptr ? cell->value : Value(),
            cell != nullptr ? cell->formula : 0, style);
    });
  }
  for (size_t i = 0; i < copiedRows.size(); ++i) {
    const RowData& data = copiedRows[i];
    if (data.height < 0 && data.style == 0) continue;
    const size_t index = static_cast<size_t>(target.row1 - 1) + i;
    if (index >= model->rows_.size()) model->rows_.resize(index + 1);
    model->rows_[index].height = data.height;
    model->rows_[index].style = styleInDest(data.style);
  }
  for (size_t i = 0; i < copiedColumns.size(); ++i) {
    const size_t index = static_cast<size_t>(target.col1 - 1) + i;
    if (index >= model->columns_.size()) model->columns_.resize(index + 1);
    model->columns_[index].width = copiedColumns[i].width;
    model->columns_[index].style = styleInDest(copiedColumns[i].style);
  }
  for (const Rect& merge : copiedMerges) model->merges_.push_back(merge);
}

void ModelWorksheet::PasteValuesTo(const Rect& area, Worksheet& dest, int32_t row, int32_t column) {
  CheckRect(area);
  const Rect target = DestinationRect(area, row, column);
  const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
  // Calls visit(rowOffset, columnOffset, value) for every value of the area, row by row.
  auto forEachValue = [&](auto&& visit) {
    for (int32_t r = area.row1; r <= lastRow; ++r) {
      const auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
      const int32_t lastColumn = std::min(area.col2, static_cast<int32_t>(cells.size()));
      for (int32_t c = area.col1; c <= lastColumn; ++c) {
        const Value& value = cells[static_cast<size_t>(c - 1)].value;
        if (value.IsEmpty()) continue;
        visit(r - area.row1, c - area.col1, lastColumn - area.col1, value);
      }
    }
  };
  auto* model = dynamic_cast<ModelWorksheet*>(&dest);
  if (model != nullptr) model->ContentChanged();
  // The same sheet may overlap the area: take the values out first.
  std::vector<CopiedCell> copied;
  if (model == nullptr || model == this) {
    forEachValue([&copied](int32_t rowOffset, int32_t columnOffset, int32_t, const Value& value) {
      CopiedCell item;
      item.rowOffset = rowOffset;
      item.columnOffset = columnOffset;
      item.value = value;
      copied.push_back(std::move(item));
    });
  }
  // Empty source cells empty the destination; its formats stay.
  if (model != nullptr) {
    const int32_t destLastRow = std::min<int32_t>(target.row2, static_cast<int32_t>(model->rows_.size()));
    for (int32_t r = target.row1; r <= destLastRow; ++r) {
      auto& cells = model->rows_[static_cast<size_t>(r - 1)].cells;
      const int32_t lastColumn = std::min(target.col2, static_cast<int32_t>(cells.size()));
      for (int32_t c = target.col1; c <= lastColumn; ++c) {
        Cell& cell = cells[static_cast<size_t>(c - 1)];
        cell.value = Value();
        cell.formula = 0;
      }
    }
  } else {
    const Rect used = dest.UsedRect();
    for (int32_t r = std::max(target.row1, used.row1); r <= std::min(target.row2, used.row2); ++r) {
      for (int32_t c = std::max(target.col1, used.col1); c <= std::min(target.col2, used.col2); ++c) {
        dest.SetCellValue(r, c, Value());
      }
    }
  }
  if (model != nullptr && model != this) {
    // Another model sheet: the values go straight across, each destination
    // row sized once for the values it receives.
    int32_t sizedRow = -1;
    forEachValue([&](int32_t rowOffset, int32_t columnOffset, int32_t lastOffset, const Value& value) {
      if (rowOffset != sizedRow) {
        sizedRow = rowOffset;
        model->ReserveRow(target.row1 + rowOffset, target.col1 + lastOffset);
      }
      model->SetCellValue(target.row1 + rowOffset, target.col1 + columnOffset, value);
    });
    return;
  }
  for (CopiedCell& item : copied) {
    dest.SetCellValue(target.row1 + item.rowOffset, target.col1 + item.columnOffset, std::move(item.value));
  }
}

}  // namespace fenban::host
