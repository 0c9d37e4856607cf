#include "form/sheet_counters.h"

#include <algorithm>

#include "form/form_routines.h"
#include "host/errors.h"
#include "host/value.h"

namespace fenban::form {
namespace {

int32_t LastRow(const host::Worksheet& settings) { return std::max(2, settings.UsedRect().row2); }

// The row whose name cell holds bookName; 0 when none.
int32_t NamedRow(const host::Worksheet& settings, const std::string& bookName) {
  for (int32_t row = 2; row <= LastRow(settings); ++row) {
    const host::Value& name = settings.CellValue(row, kCounterNameColumn);
    if (name.IsText() && name.Text() == bookName) return row;
  }
  return 0;
}

bool HasCounters(const host::Worksheet& settings, int32_t row) {
  return !settings.CellValue(row, 1).IsEmpty() || !settings.CellValue(row, 2).IsEmpty();
}

bool IsUnnamed(const host::Worksheet& settings, int32_t row) {
  return settings.CellValue(row, kCounterNameColumn).IsEmpty();
}

}  // namespace

int32_t FindCounterRow(const host::Worksheet& settings, const std::string& bookName, int32_t listIndex) {
  if (const int32_t named = NamedRow(settings, bookName); named != 0) return named;
  const int32_t positionRow = listIndex + 2;
  if (positionRow >= 2 && IsUnnamed(settings, positionRow)) return positionRow;
  int32_t row = 2;
  while (HasCounters(settings, row) || !IsUnnamed(settings, row)) ++row;
  return row;
}

int32_t ClaimCounterRow(host::Worksheet& settings, const std::string& bookName, int32_t listIndex,
                        const std::vector<std::string>& listItems) {
  const int32_t row = FindCounterRow(settings, bookName, listIndex);
  settings.SetCellValue(1, kCounterNameColumn, kCounterNameHeader);
  settings.SetCellValue(row, kCounterNameColumn, bookName);
  const int32_t lastListRow = static_cast<int32_t>(listItems.size()) + 1;
  for (int32_t other = 2; other <= std::min(LastRow(settings), lastListRow); ++other) {
    if (!IsUnnamed(settings, other) || !HasCounters(settings, other)) continue;
    const std::string& entry = listItems[static_cast<size_t>(other - 2)];
    if (NamedRow(settings, entry) == 0) settings.SetCellValue(other, kCounterNameColumn, entry);
  }
  return row;
}

std::vector<std::string> ListedDataWorkbooks(host::Application& app) {
  std::vector<std::string> listed;
  host::SkipOnError([&] {
    const std::string folder = app.ThisWorkbook().Path() + kPathSeparator + kDataFolderName;
    for (const std::string& fileName : app.Services().ListDirectory(folder)) {
      if (fileName.empty()) break;
      listed.push_back(fileName);
    }
  });
  return listed;
}

}  // namespace fenban::form
