// The statistics engine and the statistics command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "form/form.h"
#include "form/module_state.h"
#include "host/application.h"
#include "host/constants.h"
#include "host/page_setup.h"
#include "host/worksheet.h"
#include "sheets/workbook_layout.h"

namespace fenban::statistics {

// Measures a division sheet of the data workbook state.DataBookName, writes the
// statistics sheet and finishes both sheets for printing. The "均衡列" named
// in balanceColumns get a table each below the sheet's own.
void BuildDivisionStatistics(host::Application& app, const form::ModuleState& state, int32_t classCount,
                             int32_t excellentQuota, int32_t passQuota, int32_t topN,
                             const std::string& divisionSheetName, const std::string& statisticsSheetName,
                             const std::vector<std::string>& balanceColumns = {});
// "cmdTiaoBanClick": rebuilds the statistics of the active sheet's pair.
void RebuildStatistics(host::Application& app, form::Form& form, form::ModuleState& state);
// Page layouts on A4; every setting is skipped on its own when refused. The
// sheet's columns decide the orientation and scale (see FitClassLists and
// FitStatistics).
void SetDivisionPageLayout(host::Worksheet& sheet);
void SetStatisticsPageLayout(host::Worksheet& sheet);

// Orientation and print scale (per cent) of a layout.
struct PrintFit {
  int32_t orientation;
  int32_t zoom;
  bool operator==(const PrintFit&) const = default;
};
// Class lists: 80 % portrait when the columns (total width in points) fit
// across the page; otherwise scaled down to fit one page wide, and turned to
// landscape (at up to 80 %) when that would go below 60 %.
PrintFit FitClassLists(double columnsWidth);
// The statistics: landscape at up to 90 %, scaled to one page wide, and to one
// page tall as long as that keeps at least 60 %.
PrintFit FitStatistics(double columnsWidth, double rowsHeight);
// The printed width in points of a column `characters` wide.
double ColumnWidthInPoints(double characters);
void SetDivisionPageLayout(host::PageSetup& setup, const PrintFit& fit = {host::kPortrait, 80});
void SetStatisticsPageLayout(host::PageSetup& setup, const PrintFit& fit = {host::kLandscape, 90});

// The sheet pair of the statistics command, derived from the active sheet's
// name: the number text is everything after its third character. A name of
// neither kind gives "分班表" and an empty statistics sheet name; a name of
// fewer than three characters raises error 5.
struct SheetPair {
  std::string divisionSheetName;
  std::string statisticsSheetName;
};
SheetPair SheetPairOf(const std::string& activeSheetName);
using sheets::HasTitleRow;
// The class count recorded with a division: the number of class rows of the
// class count table on its statistics sheet (between the header "新班级" in
// row 1 or 2 and the first "最大差"); 0 when the sheet holds no such table.
int32_t RecordedClassCount(const host::Worksheet& statistics);
// The classes of a division sheet whose header row is `headerRow`.
struct DivisionClasses {
  int32_t count = 0;   // the recorded count (or the highest class number when
                       // none is recorded), raised by the new classes that
                       // follow it without a gap
  std::string strays;  // StrayClassLabelWarning for that count
};
DivisionClasses ClassesOf(const host::Worksheet& division, int32_t headerRow, int32_t recordedCount);
// The warning for students of a division sheet whose "新班级" (column 1) is
// no whole number 1..classCount: empty, a text such as "3班", a fraction or a
// number outside. It counts them and names the first ten by sheet row and
// label; the rows are those of the table whose header row is `headerRow`.
// Empty when every student has a class.
std::string StrayClassLabelWarning(const host::Worksheet& division, int32_t headerRow, int32_t classCount);
// The notice that the class count option differs from the division's.
std::string ClassCountNotice(const std::string& divisionName, int32_t divisionCount, int32_t givenCount);

}  // namespace fenban::statistics
