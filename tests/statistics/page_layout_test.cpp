// Page layouts: every setting in order, each skipped on its own when refused.
#include <gtest/gtest.h>

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
    "Orientation=1", "TopMargin=30",   "BottomMargin=10",      "HeaderMargin=5",
    "FooterMargin=5", "LeftMargin=5",  "RightMargin=5",        "CenterFooter=&P",
    "Zoom=80",        "CenterHorizontally=1", "PrintTitleRows=$1:$2"};
const std::vector<std::string> kStatisticsLayout = {
    "Orientation=2", "TopMargin=30",  "BottomMargin=10", "HeaderMargin=5", "FooterMargin=5",
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

}  // namespace
}  // namespace fenban::statistics::test
