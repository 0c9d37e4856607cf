// Replacing text in the text cells of an area. A changed cell is entered
// again as if its new text were typed: " 300" without its space is the
// number 300, not the text "300", unless the cell is formatted as text.
#include <algorithm>

#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/typed_entry.h"

namespace fenban::host {

void ModelWorksheet::CheckReplaceArguments(const std::string& what, int32_t lookAt) {
  if (what.empty()) Raise(kErrHost, "查找内容不能为空");
  if (lookAt != kLookAtWhole && lookAt != kLookAtPart) Raise(kErrHost, "无效的查找匹配方式");
}

bool ModelWorksheet::Replace(const Rect& area, const std::string& what, const std::string& replacement,
                             int32_t lookAt) {
  CheckRect(area);
  CheckReplaceArguments(what, lookAt);
  ContentChanged();
  bool changed = false;
  const int32_t lastRow = std::min<int32_t>(area.row2, static_cast<int32_t>(rows_.size()));
  for (int32_t r = area.row1; r <= lastRow; ++r) {
    auto& cells = rows_[static_cast<size_t>(r - 1)].cells;
    const int32_t lastColumn = std::min(area.col2, static_cast<int32_t>(cells.size()));
    for (int32_t c = area.col1; c <= lastColumn; ++c) {
      Cell& cell = cells[static_cast<size_t>(c - 1)];
      if (!cell.value.IsText() || cell.formula != 0) continue;
      const std::string_view text = cell.value.Text();
      std::string result;
      if (lookAt == kLookAtWhole) {
        if (text != what) continue;
        result = replacement;
      } else {
        size_t found = text.find(what);
        if (found == std::string::npos) continue;
        size_t from = 0;
        while (found != std::string::npos) {
          result.append(text, from, found - from);
          result += replacement;
          from = found + what.size();
          found = text.find(what, from);
        }
        result.append(text, from, std::string::npos);
      }
      const bool keepsText = IsTextFormat(book_->Styles().Get(EffectiveStyleIndex(&cell, r, c)).numberFormat);
      cell.value = keepsText && !result.empty() ? Value(std::move(result)) : TypedEntry(result);
      changed = true;
    }
  }
  return changed;
}

}  // namespace fenban::host
