// The printed page layouts of the division sheet and the statistics sheet.
// Every setting is its own statement; a setting the host refuses is skipped
// and the next one is still tried.
#include <algorithm>
#include <cmath>

#include "host/errors.h"
#include "statistics/statistics.h"

namespace fenban::statistics {

namespace {

// Fetches the sheet's page set-up; nullptr when the host refuses it.
host::PageSetup* FetchPageSetup(host::Worksheet& sheet) {
  host::PageSetup* setup = nullptr;
  host::SkipOnError([&] { setup = &sheet.GetPageSetup(); });
  return setup;
}

// The margins both layouts set, in points.
constexpr double kTopMargin = 30, kBottomMargin = 10, kSideMargin = 5;
// A4 in points.
constexpr double kA4Short = 595.3, kA4Long = 841.9;
// Below this scale text is too small to read comfortably; the class lists
// turn to landscape rather than shrink further.
constexpr int32_t kReadableZoom = 60;
double PrintableWidth(int32_t orientation) {
  return (orientation == host::kLandscape ? kA4Long : kA4Short) - 2 * kSideMargin;
}

double PrintableHeight(int32_t orientation) {
  return (orientation == host::kLandscape ? kA4Short : kA4Long) - kTopMargin - kBottomMargin;
}

// The largest whole per cent, at most `zoom`, at which `size` points fit in `room`.
int32_t ZoomToFit(double size, double room, int32_t zoom) {
  if (size <= 0) return zoom;
  return std::clamp(static_cast<int32_t>(std::floor(100 * room / size)), 10, zoom);
}

// What differs between the two layouts; margins, footer and centring are shared.
struct PageLayout {
  PrintFit fit;
  const char* printTitleRows;  // nullptr: left as it is
};

void ApplyPageLayout(host::PageSetup& setup, const PageLayout& layout) {
  host::SkipOnError([&] { setup.SetOrientation(layout.fit.orientation); });
  host::SkipOnError([&] { setup.SetPaperSize(host::kPaperA4); });
  host::SkipOnError([&] { setup.SetTopMargin(kTopMargin); });
  host::SkipOnError([&] { setup.SetBottomMargin(kBottomMargin); });
  host::SkipOnError([&] { setup.SetHeaderMargin(5); });
  host::SkipOnError([&] { setup.SetFooterMargin(5); });
  host::SkipOnError([&] { setup.SetLeftMargin(kSideMargin); });
  host::SkipOnError([&] { setup.SetRightMargin(kSideMargin); });
  host::SkipOnError([&] { setup.SetCenterFooter("&P"); });
  host::SkipOnError([&] { setup.SetZoom(layout.fit.zoom); });
  host::SkipOnError([&] { setup.SetCenterHorizontally(true); });
  if (layout.printTitleRows != nullptr) {
    host::SkipOnError([&] { setup.SetPrintTitleRows(layout.printTitleRows); });
  }
}

// Sum of the widths of columns 1 to lastColumn in points.
double ColumnsWidth(const host::Worksheet& sheet, int32_t lastColumn) {
  double points = 0;
  for (int32_t c = 1; c <= lastColumn; ++c) points += ColumnWidthInPoints(sheet.ColumnWidth(c));
  return points;
}

// Sum of the heights of rows 1 to lastRow in points.
double RowsHeight(const host::Worksheet& sheet, int32_t lastRow) {
  double points = 0;
  for (int32_t r = 1; r <= lastRow; ++r) points += sheet.RowHeight(r);
  return points;
}

}  // namespace

double ColumnWidthInPoints(double characters) {
  // A file keeps the width in characters of the standard font's digit plus 5
  // pixels of padding (a narrow column is counted in pixels of 1/12). The
  // widest reading of it multiplies by the digit's unrounded width, 7.44
  // pixels at 11 points, which is 5.58 points.
  if (characters <= 0) return 0;
  const double stored = characters < 1 ? characters * 12 / 7 : characters + 5.0 / 7;
  return stored * 5.58;
}

PrintFit FitClassLists(double columnsWidth) {
  const double width = columnsWidth;
  const int32_t portrait = ZoomToFit(width, PrintableWidth(host::kPortrait), 80);
  if (portrait >= kReadableZoom) return PrintFit{host::kPortrait, portrait};
  return PrintFit{host::kLandscape, ZoomToFit(width, PrintableWidth(host::kLandscape), 80)};
}

PrintFit FitStatistics(double columnsWidth, double rowsHeight) {
  const int32_t across = ZoomToFit(columnsWidth, PrintableWidth(host::kLandscape), 90);
  // One page down too, as long as the text stays readable.
  const int32_t down = ZoomToFit(rowsHeight, PrintableHeight(host::kLandscape), 90);
  return PrintFit{host::kLandscape, std::min(across, std::max(down, kReadableZoom))};
}

// Class lists: title and header rows repeated on every page.
void SetDivisionPageLayout(host::PageSetup& setup, const PrintFit& fit) {
  ApplyPageLayout(setup, PageLayout{fit, "$1:$2"});
}

// The comparison of the classes: no repeated rows.
void SetStatisticsPageLayout(host::PageSetup& setup, const PrintFit& fit) {
  ApplyPageLayout(setup, PageLayout{fit, nullptr});
}

void SetDivisionPageLayout(host::Worksheet& sheet) {
  PrintFit fit{host::kPortrait, 80};
  host::SkipOnError([&] { fit = FitClassLists(ColumnsWidth(sheet, sheet.UsedRect().col2)); });
  if (host::PageSetup* setup = FetchPageSetup(sheet)) SetDivisionPageLayout(*setup, fit);
}

void SetStatisticsPageLayout(host::Worksheet& sheet) {
  PrintFit fit{host::kLandscape, 90};
  host::SkipOnError([&] {
    const host::Rect used = sheet.UsedRect();
    fit = FitStatistics(ColumnsWidth(sheet, used.col2), RowsHeight(sheet, used.row2));
  });
  if (host::PageSetup* setup = FetchPageSetup(sheet)) SetStatisticsPageLayout(*setup, fit);
}

}  // namespace fenban::statistics
