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

void SetDivisionPageLayout(host::PageSetup& setup) {
  host::SkipOnError([&] { setup.SetOrientation(host::kPortrait); });
  host::SkipOnError([&] { setup.SetTopMargin(30); });
  host::SkipOnError([&] { setup.SetBottomMargin(10); });
  host::SkipOnError([&] { setup.SetHeaderMargin(5); });
  host::SkipOnError([&] { setup.SetFooterMargin(5); });
  host::SkipOnError([&] { setup.SetLeftMargin(5); });
  host::SkipOnError([&] { setup.SetRightMargin(5); });
  host::SkipOnError([&] { setup.SetCenterFooter("&P"); });
  host::SkipOnError([&] { setup.SetZoom(80); });
  host::SkipOnError([&] { setup.SetCenterHorizontally(true); });
  host::SkipOnError([&] { setup.SetPrintTitleRows("$1:$2"); });
}

void SetStatisticsPageLayout(host::PageSetup& setup) {
  host::SkipOnError([&] { setup.SetOrientation(host::kLandscape); });
  host::SkipOnError([&] { setup.SetTopMargin(30); });
  host::SkipOnError([&] { setup.SetBottomMargin(10); });
  host::SkipOnError([&] { setup.SetHeaderMargin(5); });
  host::SkipOnError([&] { setup.SetFooterMargin(5); });
  host::SkipOnError([&] { setup.SetLeftMargin(5); });
  host::SkipOnError([&] { setup.SetRightMargin(5); });
  host::SkipOnError([&] { setup.SetCenterFooter("&P"); });
  host::SkipOnError([&] { setup.SetZoom(90); });
  host::SkipOnError([&] { setup.SetCenterHorizontally(true); });
}

void SetDivisionPageLayout(host::Worksheet& sheet) {
  if (host::PageSetup* setup = FetchPageSetup(sheet)) SetDivisionPageLayout(*setup);
}

void SetStatisticsPageLayout(host::Worksheet& sheet) {
  if (host::PageSetup* setup = FetchPageSetup(sheet)) SetStatisticsPageLayout(*setup);
}

}  // namespace fenban::statistics
