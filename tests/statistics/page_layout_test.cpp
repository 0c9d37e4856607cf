// Page layouts: every setting in order, each skipped on its own when refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/errors.h"
#include "statistics/statistics.h"

namespace fenban::statistics::test {
namespace {

// Records the settings it receives; refuses the ones named in `refused`.
class RecordingPageSetup : public host::PageSetup {
 public:
  std::vector<std::string> refused;
  std::vector<std::string> received;

  void SetOrientation(int32_t v) override { Take("Orientation=" + std::to_string(v)); }
  void SetTopMargin(double v) override { Take("TopMargin=" + Number(v)); }
  void SetBottomMargin(double v) override { Take("BottomMargin=" + Number(v)); }
  void SetHeaderMargin(double v) override { Take("HeaderMargin=" + Number(v)); }
  void SetFooterMargin(double v) override { Take("FooterMargin=" + Number(v)); }
  void SetLeftMargin(double v) override { Take("LeftMargin=" + Number(v)); }
  void SetRightMargin(double v) override { Take("RightMargin=" + Number(v)); }
  void SetCenterFooter(const std::string& v) override { Take("CenterFooter=" + v); }
  void SetZoom(int32_t v) override { Take("Zoom=" + std::to_string(v)); }
  void SetPaperSize(int32_t v) override { Take("PaperSize=" + std::to_string(v)); }
  void SetCenterHorizontally(bool v) override { Take(std::string("CenterHorizontally=") + (v ? "1" : "0")); }
  void SetPrintTitleRows(const std::string& v) override { Take("PrintTitleRows=" + v); }

 private:
  static std::string Number(double v) { return std::to_string(static_cast<int>(v)); }
  void Take(const std::string& setting) {
    const std::string name = setting.substr(0, setting.find('='));
    for (const std::string& r : refused) {
      if (r == name) host::Raise(host::kErrHost, "拒绝 " + name);
    }
    received.push_back(setting);
  }
};

const std::vector<std::string> kDivisionLayout = {
    "Orientation=1", "PaperSize=9",   "TopMargin=30",   "BottomMargin=10",      "HeaderMargin=5",
    "FooterMargin=5", "LeftMargin=5",  "RightMargin=5",        "CenterFooter=&P",
    "Zoom=80",        "CenterHorizontally=1", "PrintTitleRows=$1:$2"};
const std::vector<std::string> kStatisticsLayout = {
    "Orientation=2", "PaperSize=9",   "TopMargin=30",  "BottomMargin=10", "HeaderMargin=5", "FooterMargin=5",
    "LeftMargin=5",  "RightMargin=5", "CenterFooter=&P", "Zoom=90",        "CenterHorizontally=1"};

std::vector<std::string> Without(std::vector<std::string> settings, const std::string& name) {
  std::erase_if(settings, [&](const std::string& s) { return s.rfind(name + "=", 0) == 0; });
  return settings;
}

TEST(PageLayoutTest, DivisionLayoutSetsEverySettingInOrder) {
  RecordingPageSetup setup;
  SetDivisionPageLayout(setup);
  EXPECT_EQ(setup.received, kDivisionLayout);
}

TEST(PageLayoutTest, StatisticsLayoutSetsEverySettingInOrderWithoutPrintTitles) {
  RecordingPageSetup setup;
  SetStatisticsPageLayout(setup);
  EXPECT_EQ(setup.received, kStatisticsLayout);
}

TEST(PageLayoutTest, ARefusedSettingIsSkippedAndTheOthersStillArrive) {
  RecordingPageSetup division;
  division.refused = {"Zoom"};
  EXPECT_NO_THROW(SetDivisionPageLayout(division));
  EXPECT_EQ(division.received, Without(kDivisionLayout, "Zoom"));

  RecordingPageSetup statistics;
  statistics.refused = {"Orientation", "CenterHorizontally"};
  EXPECT_NO_THROW(SetStatisticsPageLayout(statistics));
  EXPECT_EQ(statistics.received, Without(Without(kStatisticsLayout, "Orientation"), "CenterHorizontally"));
}

TEST(PageLayoutTest, TheFitDecidesOrientationAndZoom) {
  RecordingPageSetup setup;
  SetDivisionPageLayout(setup, PrintFit{host::kLandscape, 67});
  EXPECT_EQ(setup.received[0], "Orientation=2");
  EXPECT_NE(std::find(setup.received.begin(), setup.received.end(), "Zoom=67"), setup.received.end());
  EXPECT_NE(std::find(setup.received.begin(), setup.received.end(), "PrintTitleRows=$1:$2"), setup.received.end());
}

TEST(PageLayoutTest, ColumnWidthsInPoints) {
  // The width in the file (characters plus 5 pixels of padding) times the
  // standard font's digit, 5.58 points.
  EXPECT_NEAR(ColumnWidthInPoints(8.43), 51.0, 0.05);   // the standard column
  EXPECT_NEAR(ColumnWidthInPoints(10), 59.8, 0.05);
  EXPECT_NEAR(ColumnWidthInPoints(0.5), 4.8, 0.05);    // narrow columns grow by pixels
  EXPECT_DOUBLE_EQ(ColumnWidthInPoints(0), 0);         // hidden
}

// A4 portrait leaves 585.3 points across between the 5-point margins,
// landscape 831.9.
TEST(PageLayoutTest, ClassListsKeep80PercentWhereTheyFitAndShrinkToOnePageWideOtherwise) {
  EXPECT_EQ(FitClassLists(500), (PrintFit{host::kPortrait, 80}));
  EXPECT_EQ(FitClassLists(731), (PrintFit{host::kPortrait, 80}));  // 731 * 0.8 = 584.8
  EXPECT_EQ(FitClassLists(732), (PrintFit{host::kPortrait, 79}));
  EXPECT_EQ(FitClassLists(800), (PrintFit{host::kPortrait, 73}));
  EXPECT_EQ(FitClassLists(975), (PrintFit{host::kPortrait, 60}));  // still readable upright
}

TEST(PageLayoutTest, ClassListsTurnToLandscapeRatherThanShrinkBelow60Percent) {
  EXPECT_EQ(FitClassLists(976), (PrintFit{host::kLandscape, 80}));   // fits across at 80 % lying
  EXPECT_EQ(FitClassLists(1100), (PrintFit{host::kLandscape, 75}));
  EXPECT_EQ(FitClassLists(2000), (PrintFit{host::kLandscape, 41}));  // still one page wide
  EXPECT_EQ(FitClassLists(1e6), (PrintFit{host::kLandscape, 10}));   // the smallest scale there is
}

// Landscape A4 leaves 555.3 points down between the 30- and 10-point margins.
TEST(PageLayoutTest, StatisticsFitOnePageWideAndOnePageTallWhileReadable) {
  EXPECT_EQ(FitStatistics(600, 400), (PrintFit{host::kLandscape, 90}));
  EXPECT_EQ(FitStatistics(600, 800), (PrintFit{host::kLandscape, 69}));   // one page tall
  EXPECT_EQ(FitStatistics(600, 2000), (PrintFit{host::kLandscape, 60}));  // tall lists go on
  EXPECT_EQ(FitStatistics(1500, 400), (PrintFit{host::kLandscape, 55}));  // but always one page wide
}

}  // namespace
}  // namespace fenban::statistics::test
