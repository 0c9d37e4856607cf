// One student list in the layouts schools keep it in, written by openpyxl,
// as CSV bytes and by LibreOffice (tests/cli/school_lists.py), divided
// through the terminal: each layout is refused first with a message that
// says what to give, and then, with that option, divides every student into
// the same class as the plain list does with the same seed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "sheets/workbook_layout.h"

namespace fenban::clitest {
namespace {

const std::vector<std::string> kDivide = {"--classes", "4", "--seed", "11"};

struct Layout {
  std::string folder;     // the layout's folder written by the script
  std::string book;       // the file divided
  std::string refusal;    // a text of the first division's refusal ("" when it divides at once)
  std::vector<std::string> options;  // what the refusal asks for
};

// Each student's class on 分班表1 of the workbook, by name.
std::map<std::string, int32_t> ClassesByName(const fs::path& workbook) {
  std::map<std::string, int32_t> classes;
  auto book = ReadBook(workbook);
  const host::Worksheet* division = book->FindSheet("分班表1");
  if (division == nullptr) return classes;
  const int32_t headerRow = sheets::DivisionHeaderRow(*division);
  const int32_t nameColumn = ColumnOf(*division, headerRow, "姓名");
  for (int32_t row = headerRow + 1; !division->CellValue(row, nameColumn).IsEmpty(); ++row) {
    classes[division->CellValue(row, nameColumn).ToText()] = division->CellValue(row, 1).ToLong();
  }
  return classes;
}

// A host folder for the layout with its list in 数据/.
fs::path HostFolderWith(const fs::path& root, const Layout& layout) {
  const fs::path host = root / ("host-" + layout.folder);
  RunResult init = RunFenban(root, {"init", host.string()});
  EXPECT_EQ(init.status, 0) << Printed(init);
  fs::copy_file(root / "lists" / layout.folder / layout.book, host / "数据" / layout.book);
  return host;
}

std::vector<std::string> DivideArgs(const std::string& book, const std::vector<std::string>& options) {
  std::vector<std::string> args = {"divide", book};
  args.insert(args.end(), kDivide.begin(), kDivide.end());
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

TEST(SchoolListsCli, EveryLayoutIsRefusedWithWhatToGiveAndThenDividesAsThePlainList) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  const bool libreOffice = std::system("command -v soffice >/dev/null 2>&1") == 0;
  const std::string write = "/usr/bin/python3 '" + std::string(FENBAN_TEST_DATA) + "/../cli/school_lists.py' '" +
                            (temp.Path() / "lists").string() + "'" + (libreOffice ? " --libreoffice" : "") + " >/dev/null";
  ASSERT_EQ(std::system(write.c_str()), 0) << write;

  const Layout plainLayout{"plain", "名单.xlsx", "", {}};
  const fs::path plainHost = HostFolderWith(temp.Path(), plainLayout);
  RunResult plainRun = RunFenban(plainHost, DivideArgs("名单.xlsx", {}));
  ASSERT_EQ(plainRun.status, 0) << Printed(plainRun);
  const std::map<std::string, int32_t> plain = ClassesByName(plainHost / "数据" / "名单.xlsx");
  ASSERT_EQ(plain.size(), 24u);

  std::vector<Layout> layouts = {
      // Before: "数据表没有“总分”列，不能分班！" for the workbooks, and no CSV at all.
      {"titled", "名单.xlsx", "第 3 行像是表头（G3 是“总分”），上面 2 行是标题", {"--header-row", "3"}},
      {"merged", "名单.xlsx", "第 2 到 3 行像是两行合并的表头（G2 是“总分”），上面 1 行是标题", {"--header-row", "3"}},
      {"zhongkao", "名单.xlsx", "第 1 行有“中考总分”：要用它作总分，请在“总分列”里填“中考总分”（命令行 --total-column 中考总分）",
       {"--total-column", "中考总分"}},
      {"no-total", "名单.xlsx", "第 1 行有登记表的学科“语文”、“数学”、“英语”", {"--total-from-subjects"}},
      {"csv-utf8", "名单.csv", "", {}},
      {"csv-bom", "名单.csv", "", {}},
      {"csv-gbk", "名单.csv", "", {}},
      {"csv-tab", "名单.csv", "", {}},
  };
  if (libreOffice) {
    layouts.push_back({"lo-title", "名单.xlsx", "第 2 行像是表头（G2 是“总分”），上面 1 行是标题", {"--header-row", "2"}});
    layouts.push_back({"lo-merged", "名单.xlsx", "第 2 到 3 行像是两行合并的表头", {"--header-row", "3"}});
  }
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.folder);
    const fs::path host = HostFolderWith(temp.Path(), layout);
    const fs::path list = host / "数据" / layout.book;
    const std::string original = ReadFile(list);
    if (!layout.refusal.empty()) {
      RunResult refused = RunFenban(host, DivideArgs(layout.book, {}));
      EXPECT_EQ(refused.status, 1) << Printed(refused);
      EXPECT_NE(refused.err.find(layout.refusal), std::string::npos) << Printed(refused);
      EXPECT_EQ(ReadFile(list), original);
    }
    RunResult run = RunFenban(host, DivideArgs(layout.book, layout.options));
    ASSERT_EQ(run.status, 0) << Printed(run);
    fs::path divided = list;
    if (layout.book == "名单.csv") {
      EXPECT_NE(run.out.find("已把 名单.csv 读成新工作簿 名单.xlsx（25 行，工作表“数据表”）。名单.csv 没有改动"),
                std::string::npos)
          << Printed(run);
      EXPECT_EQ(ReadFile(list), original);
      divided = host / "数据" / "名单.xlsx";
    } else {
      // The file as it was is kept: a restore brings the title rows back.
      RunResult history = RunFenban(host, {"history", layout.book});
      EXPECT_NE(history.out.find("fenban divide"), std::string::npos) << Printed(history);
    }
    EXPECT_EQ(ClassesByName(divided), plain);
    auto book = ReadBook(divided);
    const host::Worksheet* data = book->FindSheet("数据表");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->CellValue(1, 1), host::Value("姓名"));
  }
}

TEST(SchoolListsCli, TheTotalColumnOptionIsStoredAndListed) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 20);
  RunResult missing = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--total-column", "合计"});
  EXPECT_EQ(missing.status, 1) << Printed(missing);
  EXPECT_NE(missing.err.find("数据表没有“总分列”指定的“合计”列，不能分班！第 1 行的表头：A1 "), std::string::npos)
      << Printed(missing);
  // A refused division saves nothing: the option is not stored either.
  RunResult list = RunFenban(temp.Path(), {"list"});
  EXPECT_NE(list.out.find("总分列 total column (--total-column): 总分（空着时 when empty）"), std::string::npos)
      << Printed(list);
  EXPECT_EQ(list.out.find("合计"), std::string::npos) << Printed(list);
  RunResult back = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--total-column", "总分"});
  EXPECT_EQ(back.status, 0) << Printed(back);
  list = RunFenban(temp.Path(), {"list"});
  EXPECT_NE(list.out.find("总分列 total column (--total-column): 总分\n"), std::string::npos) << Printed(list);
}

}  // namespace
}  // namespace fenban::clitest
