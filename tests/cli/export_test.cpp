// fenban export: class lists without marks, beside the list, read back by
// openpyxl (a reader independent of ours); the division is left as it was.
#include <algorithm>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

// Per sheet: its name, the heading, the header row, the first students,
// the row count, the paper, the orientation and the repeated rows.
const char* kListFacts = R"(import sys, json, openpyxl
out = []
for path in sys.argv[1:]:
    wb = openpyxl.load_workbook(path)
    for ws in wb.worksheets:
        rows = [list(r) for r in ws.iter_rows(values_only=True)]
        out.append({"sheet": ws.title, "heading": rows[0][0], "header": rows[2], "students": rows[3:],
                    "paper": ws.page_setup.paperSize, "orientation": ws.page_setup.orientation,
                    "titles": ws.print_title_rows})
print(json.dumps(out, ensure_ascii=False))
)";

// The names of each class of the division, from the division sheet itself.
const char* kDivisionNames = R"(import sys, json, openpyxl
ws = openpyxl.load_workbook(sys.argv[1])[sys.argv[2]]
rows = list(ws.iter_rows(values_only=True))
head = 1 if rows[1][0] == '新班级' else 0
name = rows[head].index('姓名')
classes = {}
for r in rows[head + 1:]:
    if r[0] is None: break
    classes.setdefault(str(r[0]), []).append(r[name])
print(json.dumps(classes, ensure_ascii=False))
)";

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is missing";
    InitWithExample(temp_.Path(), 90);
    RunResult divided = RunFenban(temp_.Path(), {"divide", "示例.xlsx", "--classes", "3", "--seed", "2"});
    ASSERT_EQ(divided.status, 0) << Printed(divided);
  }
  nlohmann::json Facts(const std::vector<std::string>& files) {
    std::vector<std::string> paths;
    for (const std::string& file : files) paths.push_back((temp_.Path() / "数据" / "导出" / file).string());
    return nlohmann::json::parse(RunPython(temp_.Path(), kListFacts, paths));
  }
  TempFolder temp_;
};

TEST_F(ExportTest, OneSheetPerClassWithTheChosenColumnsSortedAndHeaded) {
  const std::string division = ReadFile(temp_.Path() / "数据" / "示例.xlsx");
  RunResult run = RunFenban(temp_.Path(), {"export", "示例.xlsx", "分班表1", "--sort", "考号", "--heading", "高一({n})班"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(ReadFile(temp_.Path() / "数据" / "示例.xlsx"), division) << "the division is never written";
  const nlohmann::json classes = nlohmann::json::parse(
      RunPython(temp_.Path(), kDivisionNames, {(temp_.Path() / "数据" / "示例.xlsx").string(), "分班表1"}));
  const nlohmann::json sheets = Facts({"示例(分班表1名单).xlsx"});
  ASSERT_EQ(sheets.size(), 3u);
  for (size_t i = 0; i < sheets.size(); ++i) {
    const nlohmann::json& sheet = sheets[i];
    const std::string label = std::to_string(i + 1);
    EXPECT_EQ(sheet["sheet"], "高一(" + label + ")班");
    EXPECT_EQ(sheet["heading"], "高一(" + label + ")班");
    EXPECT_EQ(sheet["header"], nlohmann::json::array({"姓名", "性别", "考号"})) << "no marks, no rank";
    EXPECT_EQ(sheet["paper"], 9) << "A4";
    EXPECT_EQ(sheet["orientation"], "portrait");
    EXPECT_EQ(sheet["titles"], "$1:$3");
    std::vector<std::string> names, numbers;
    for (const nlohmann::json& student : sheet["students"]) {
      names.push_back(student[0]);
      numbers.push_back(student[2].is_string() ? student[2].get<std::string>() : student[2].dump());
    }
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << "sorted by 考号";
    std::vector<std::string> expected = classes[label];
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected) << "class " << label << " has exactly its students";
  }
}

TEST_F(ExportTest, OneWorkbookPerClassAndClearRefusals) {
  RunResult run = RunFenban(temp_.Path(), {"export", "示例.xlsx", "分班表1", "--per-class-files", "--columns", "考号,姓名"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  for (const char* label : {"1", "2", "3"}) {
    const nlohmann::json sheets = Facts({std::string("示例(分班表1 ") + label + "班).xlsx"});
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0]["heading"], std::string(label) + "班");
    EXPECT_EQ(sheets[0]["header"], nlohmann::json::array({"考号", "姓名"}));
  }
  const auto before = ReadFile(temp_.Path() / "数据" / "示例.xlsx");
  RunResult unknown = RunFenban(temp_.Path(), {"export", "示例.xlsx", "分班表1", "--columns", "姓名,成绩"});
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(Printed(unknown).find("没有 “成绩” 列"), std::string::npos) << Printed(unknown);
  RunResult noDivision = RunFenban(temp_.Path(), {"export", "示例.xlsx", "统计表1"});
  EXPECT_NE(noDivision.status, 0);
  EXPECT_NE(Printed(noDivision).find("没有分班表"), std::string::npos) << Printed(noDivision);
  RunResult badSort = RunFenban(temp_.Path(), {"export", "示例.xlsx", "分班表1", "--sort", "总分"});
  EXPECT_NE(badSort.status, 0) << "sorting by a column not exported would print the rank order";
  EXPECT_EQ(ReadFile(temp_.Path() / "数据" / "示例.xlsx"), before);
}

TEST_F(ExportTest, ExportedListsKeepOutOfTheListOfDataWorkbooks) {
  // A second list, so that a number could shift.
  fs::copy_file(temp_.Path() / "数据" / "示例.xlsx", temp_.Path() / "数据" / "高一.xlsx");
  RunResult before = RunFenban(temp_.Path(), {"list"});
  ASSERT_EQ(before.status, 0) << Printed(before);
  ASSERT_EQ(RunFenban(temp_.Path(), {"export", "示例.xlsx", "分班表1"}).status, 0);
  ASSERT_EQ(RunFenban(temp_.Path(), {"export", "示例.xlsx", "分班表1", "--per-class-files"}).status, 0);
  EXPECT_TRUE(fs::is_regular_file(temp_.Path() / "数据" / "导出" / "示例(分班表1名单).xlsx"));
  EXPECT_TRUE(fs::is_regular_file(temp_.Path() / "数据" / "导出" / "示例(分班表1 2班).xlsx"));
  RunResult after = RunFenban(temp_.Path(), {"list"});
  ASSERT_EQ(after.status, 0) << Printed(after);
  EXPECT_EQ(after.out, before.out) << "the data workbooks and their numbers are as they were";
  EXPECT_EQ(after.out.find("名单).xlsx"), std::string::npos) << after.out;
  // The lists are not written over the list itself either: 数据/ holds what it held.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(temp_.Path() / "数据")) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"示例.xlsx", "高一.xlsx"}));
}

}  // namespace
}  // namespace fenban::clitest
