// Where the program saves: .xls lists and workbooks with parts the model does
// not keep are saved beside the original, which stays as it was.
#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

// Files of a folder that are not in `before`.
std::vector<fs::path> NewFiles(const fs::path& folder, const std::set<std::string>& before) {
  std::vector<fs::path> added;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (before.count(entry.path().filename().string()) == 0) added.push_back(entry.path());
  }
  return added;
}

std::set<std::string> FileNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

TEST(Saving, AnXlsListIsSavedAsXlsxBesideIt) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  fs::path data = temp.Path() / "数据";
  fs::copy_file(fs::path(FENBAN_TEST_DATA) / "genuine.xls", data / "名单.xls");
  std::string original = ReadFile(data / "名单.xls");
  std::set<std::string> before = FileNames(data);

  RunResult run = RunFenban(temp.Path(), {"divide", "名单.xls", "--classes", "2", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(ReadFile(data / "名单.xls"), original);
  std::vector<fs::path> added = NewFiles(data, before);
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].extension(), ".xlsx");
  EXPECT_NE(run.out.find("另存为"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(added[0].string()), std::string::npos) << run.out;
  auto book = ReadBook(added[0]);
  EXPECT_NE(book->FindSheet("分班表1"), nullptr);
  EXPECT_NE(book->FindSheet("统计表1"), nullptr);
}

TEST(Saving, AWorkbookWithUnkeptPartsIsNeverOverwritten) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  fs::path data = temp.Path() / "数据";
  fs::copy_file(fs::path(FENBAN_TEST_DATA) / "with_chart.xlsx", data / "图表.xlsx");
  std::string original = ReadFile(data / "图表.xlsx");
  std::set<std::string> before = FileNames(data);

  RunResult run = RunFenban(temp.Path(), {"clean", "图表.xlsx"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(ReadFile(data / "图表.xlsx"), original);
  std::vector<fs::path> added = NewFiles(data, before);
  ASSERT_EQ(added.size(), 1u);
  EXPECT_NE(run.out.find("另存为"), std::string::npos) << run.out;
  auto book = ReadBook(added[0]);
  EXPECT_NE(book->FindSheet("数据表"), nullptr) << "the chosen list's active sheet became 数据表";
}

}  // namespace
}  // namespace fenban::clitest
