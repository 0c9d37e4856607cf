// The printed page layouts of the division sheet and the statistics sheet.
// Every setting is its own statement; a setting the host refuses is skipped
// and the next one is still tried.
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

}  // namespace

namespace {

// What differs between the two layouts; margins, footer and centring are shared.
struct PageLayout {
  int32_t orientation;
  int32_t zoom;
  const char* printTitleRows;  // nullptr: left as it is
};

void ApplyPageLayout(host::PageSetup& setup, const PageLayout& layout) {
  host::SkipOnError([&] { setup.SetOrientation(layout.orientation); });
  host::SkipOnError([&] { setup.SetTopMargin(30); });
  host::SkipOnError([&] { setup.SetBottomMargin(10); });
  host::SkipOnError([&] { setup.SetHeaderMargin(5); });
  host::SkipOnError([&] { setup.SetFooterMargin(5); });
  host::SkipOnError([&] { setup.SetLeftMargin(5); });
  host::SkipOnError([&] { setup.SetRightMargin(5); });
  host::SkipOnError([&] { setup.SetCenterFooter("&P"); });
  host::SkipOnError([&] { setup.SetZoom(layout.zoom); });
  host::SkipOnError([&] { setup.SetCenterHorizontally(true); });
  if (layout.printTitleRows != nullptr) {
    host::SkipOnError([&] { setup.SetPrintTitleRows(layout.printTitleRows); });
  }
}

}  // namespace

// Class lists: portrait, title and header rows repeated on every page.
void SetDivisionPageLayout(host::PageSetup& setup) {
  ApplyPageLayout(setup, PageLayout{host::kPortrait, 80, "$1:$2"});
}

// The comparison of the classes: landscape, no repeated rows.
void SetStatisticsPageLayout(host::PageSetup& setup) {
  ApplyPageLayout(setup, PageLayout{host::kLandscape, 90, nullptr});
}

void SetDivisionPageLayout(host::Worksheet& sheet) {
  if (host::PageSetup* setup = FetchPageSetup(sheet)) SetDivisionPageLayout(*setup);
}

void SetStatisticsPageLayout(host::Worksheet& sheet) {
  if (host::PageSetup* setup = FetchPageSetup(sheet)) SetStatisticsPageLayout(*setup);
}

}  // namespace fenban::statistics
