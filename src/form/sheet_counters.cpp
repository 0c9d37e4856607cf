#include "form/sheet_counters.h"

#include <algorithm>

#include "host/value.h"

namespace fenban::form {
namespace {

bool NamesBook(const host::Worksheet& settings, int32_t row, const std::string& bookName) {
  const host::Value& name = settings.CellValue(row, kCounterNameColumn);
  return name.IsText() && name.Text() == bookName;
}

bool RowIsFree(const host::Worksheet& settings, int32_t row) {
  return settings.CellValue(row, 1).IsEmpty() && settings.CellValue(row, 2).IsEmpty() &&
         settings.CellValue(row, kCounterNameColumn).IsEmpty();
}

}  // namespace

int32_t FindCounterRow(const host::Worksheet& settings, const std::string& bookName, int32_t listIndex) {
  const int32_t lastRow = std::max(2, settings.UsedRect().row2);
  for (int32_t row = 2; row <= lastRow; ++row) {
    if (NamesBook(settings, row, bookName)) return row;
  }
  const int32_t positionRow = listIndex + 2;
  if (positionRow >= 2 && settings.CellValue(positionRow, kCounterNameColumn).IsEmpty()) return positionRow;
  int32_t row = 2;
  while (!RowIsFree(settings, row)) ++row;
  return row;
}

int32_t ClaimCounterRow(host::Worksheet& settings, const std::string& bookName, int32_t listIndex) {
  const int32_t row = FindCounterRow(settings, bookName, listIndex);
  settings.SetCellValue(1, kCounterNameColumn, kCounterNameHeader);
  settings.SetCellValue(row, kCounterNameColumn, bookName);
  return row;
}

}  // namespace fenban::form
