// The duplicate-name report and the finishing of the division sheet as
// printable class lists: one page per class, running numbers, a title row.
#include <string>

#include "host/cell_values.h"
#include "host/errors.h"
#include "host/text_compare.h"
#include "statistics/engine_data.h"
#include "statistics/statistics.h"

namespace fenban::statistics {

void ReportDuplicateNames(EngineData& data) {
  host::Worksheet& division = *data.division;
  SortDivision(data, 1, host::kAscending, data.nameColumn, host::kAscending);
  data.duplicateReport = "同班同名统计：";
  for (int32_t i = 2; i <= data.rowCount; ++i) {
    const host::Value& label = division.CellValue(i, 1);
    const host::Value& name = division.CellValue(i, data.nameColumn);
    // Both are read as text on every row: an error value ends the report.
    if (label.IsError()) (void)host::CellText(division, i, 1);
    if (name.IsError()) (void)host::CellText(division, i, data.nameColumn);
    if (host::CellSameText(division, i + 1, 1, label) &&
        host::CellSameText(division, i + 1, data.nameColumn, name)) {
      data.duplicateReport += label.ToText() + "班 " + name.ToText() + "；";
    }
  }
}

namespace {

// Page breaks before every class after the first and after the last student,
// and the running number within the class in column 2. The number counts the
// filled class cells from the class's first row down to the own row.
void NumberClassPages(EngineData& data) {
  host::Worksheet& division = *data.division;
  int32_t start = 2;
  int32_t runningNumber = 0;
  for (int32_t i = 2; i <= data.rowCount; ++i) {
    const host::Value& label = division.CellValue(i, 1);
    if (i == start) runningNumber = 0;
    if (!label.IsEmpty()) ++runningNumber;
    division.SetCellValue(i, 2, host::Value(runningNumber));
    if (!host::CellSameText(division, i + 1, 1, division.CellValue(i, 1))) {
      division.AddHPageBreak(i + 1);
      start = i + 1;
    }
  }
}

void SetDivisionWindow(EngineData& data) {
  data.division->Parent().Activate();
  data.division->Activate();
  host::Window& window = data.app->ActiveWindow();
  window.SetScrollRow(1);
  window.SetScrollColumn(1);
  window.SetTabRatio(0.9);
  window.SetSplitRow(2);
  window.SetSplitColumn(0);
  window.SetFreezePanes(true);
}

}  // namespace

void FinishDivisionSheet(EngineData& data) {
  host::Worksheet& division = *data.division;
  division.Cells().SetHorizontalAlignment(host::kAlignLeft);
  SortDivision(data, 1, host::kAscending, data.totalColumn, host::kDescending);
  NumberClassPages(data);

  division.Cells().AutoFit();
  division.Columns(1, 2).SetHorizontalAlignment(host::kAlignCenter);
  const int32_t columnCount = division.Cells(1, 1).CurrentRegion().ColumnsCount();

  division.Rows(1).Insert(host::kShiftDown);
  division.Rows(1).SetRowHeight(30);
  const host::Range title = Area(division, 1, 2, 1, columnCount - 2);
  MergeArea(title);
  title.SetHorizontalAlignment(host::kAlignCenter);
  title.SetVerticalAlignment(host::kAlignCenter);
  title.GetFont().SetSize(16);
  title.GetFont().SetBold(true);
  title.Cells(1, 1).SetValue(host::Value(BookTitle(data.state->DataBookName)));

  Area(division, 2, 1, 2, columnCount).GetBorders(host::kEdgeBottom).SetLineStyle(host::kLineContinuous);

  const host::Range dateCell = division.Cells(1, columnCount);
  dateCell.SetValue(host::Value(DateText(data.app->Services().ShortDate())));
  dateCell.SetHorizontalAlignment(host::kAlignRight);
  dateCell.SetVerticalAlignment(host::kAlignBottom);

  SetDivisionPageLayout(division);
  SetDivisionWindow(data);
}

}  // namespace fenban::statistics
