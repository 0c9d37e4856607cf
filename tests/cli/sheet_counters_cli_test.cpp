// The numbering of division sheets through the program: a division kept in the
// data workbook is never replaced, however the data folder or the host folder
// changes, and host workbooks of earlier versions keep their counters.
#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

constexpr int32_t kNameColumn = 26;  // "DTB" column Z: the workbook the counters belong to

// Writes a note into a sheet of a workbook, as a teacher's hand edit.
void EditByHand(const fs::path& path, const std::string& sheet, const std::string& note) {
  auto book = ReadBook(path);
  book->FindSheet(sheet)->SetCellValue(1, 30, note);
  files::WriteXlsx(*book, path.string());
}

std::string NoteOf(const fs::path& path, const std::string& sheet) {
  auto book = ReadBook(path);
  host::Worksheet* found = book->FindSheet(sheet);
  return found == nullptr ? "(missing)" : found->CellValue(1, 30).ToText();
}

TEST(SheetCounters, AFileAddedBeforeTheListDoesNotReuseAKeptNumber) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 30);
  const fs::path list = temp.Path() / "数据" / "示例.xlsx";
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"}).status, 0);
  EditByHand(list, "分班表1", "手改");

  // "0.xlsx" sorts before the list, which moves to position 1. Its counters
  // used to be read from the row of position 1, which was empty: the next
  // division was 分班表1 again and replaced the hand-edited one.
  WriteDataBook(temp.Path() / "数据" / "0.xlsx", {{"姓名", "总分"}, {"甲", 1}, {"乙", 2}});
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", "2"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("新工作表 new sheets: 分班表2, 统计表2"), std::string::npos) << run.out;
  EXPECT_EQ(NoteOf(list, "分班表1"), "手改");

  // The new file has counters of its own.
  run = RunFenban(temp.Path(), {"divide", "0.xlsx", "--classes", "2", "--seed", "3"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("分班表1, 统计表1"), std::string::npos) << run.out;
  auto host = ReadBook(temp.Path() / "fenban.xlsx");
  host::Worksheet& dtb = *host->FindSheet("DTB");
  EXPECT_EQ(dtb.CellValue(2, kNameColumn), host::Value("示例.xlsx"));
  EXPECT_EQ(dtb.CellValue(2, 1).ToDouble(), 3);
  EXPECT_EQ(dtb.CellValue(3, kNameColumn), host::Value("0.xlsx"));
  EXPECT_EQ(dtb.CellValue(3, 1).ToDouble(), 2);
  // The option values of row 2 are where they were.
  EXPECT_EQ(dtb.CellValue(2, 3).ToDouble(), 2);

  // A number the delete command freed is handed out again; the kept pair is not.
  ASSERT_EQ(RunFenban(temp.Path(), {"clean", "示例.xlsx", "分班表2"}).status, 0);
  run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", "4"});
  EXPECT_NE(run.out.find("分班表1, 统计表1"), std::string::npos) << run.out;
  run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--seed", "5"});
  EXPECT_NE(run.out.find("分班表3, 统计表3"), std::string::npos) << run.out;
}

TEST(SheetCounters, AnAlreadyDividedListInANewHostFolderGetsTheNextFreeNumber) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  const fs::path first = temp.Path() / "一";
  const fs::path second = temp.Path() / "二";
  fs::create_directories(first);
  InitWithExample(first, 30);
  for (const char* seed : {"1", "2"}) {
    ASSERT_EQ(RunFenban(first, {"divide", "示例.xlsx", "--classes", "2", "--seed", seed}).status, 0);
  }
  ASSERT_EQ(RunFenban(temp.Path(), {"init", "二"}).status, 0);
  fs::copy_file(first / "数据" / "示例.xlsx", second / "数据" / "名单.xlsx");
  EditByHand(second / "数据" / "名单.xlsx", "分班表1", "手改");

  RunResult run = RunFenban(second, {"divide", "名单.xlsx", "--classes", "2", "--seed", "3"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("分班表3, 统计表3"), std::string::npos) << run.out;
  EXPECT_EQ(NoteOf(second / "数据" / "名单.xlsx", "分班表1"), "手改");
  EXPECT_NE(NoteOf(second / "数据" / "名单.xlsx", "分班表2"), "(missing)");
}

TEST(SheetCounters, AnEarlierVersionsCountersByListPositionAreAdopted) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  InitWithExample(temp.Path(), 30);
  WriteDataBook(temp.Path() / "数据" / "名单.xlsx", {{"姓名", "总分"}, {"甲", 1}, {"乙", 2}, {"丙", 3}});
  // An earlier version kept the counters by list position, without names:
  // row 2 for 名单.xlsx (position 0), row 3 for 示例.xlsx (position 1).
  const fs::path hostPath = temp.Path() / "fenban.xlsx";
  {
    auto host = ReadBook(hostPath);
    host::Worksheet& dtb = *host->FindSheet("DTB");
    dtb.SetCellValue(2, 1, 4);
    dtb.SetCellValue(2, 2, 2);
    dtb.SetCellValue(3, 1, 6);
    files::WriteXlsx(*host, hostPath.string());
  }
  RunResult run = RunFenban(temp.Path(), {"divide", "示例.xlsx", "--classes", "2", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("分班表6, 统计表6"), std::string::npos) << run.out;
  auto host = ReadBook(hostPath);
  host::Worksheet& dtb = *host->FindSheet("DTB");
  EXPECT_EQ(dtb.CellValue(3, kNameColumn), host::Value("示例.xlsx"));
  EXPECT_EQ(dtb.CellValue(3, 1).ToDouble(), 7);
  // The other row was tied to its workbook in the same run, so a file added
  // before both does not hand its counters to another list.
  EXPECT_EQ(dtb.CellValue(2, kNameColumn), host::Value("名单.xlsx"));
  WriteDataBook(temp.Path() / "数据" / "0.xlsx", {{"姓名", "总分"}, {"丁", 1}, {"戊", 2}});
  run = RunFenban(temp.Path(), {"divide", "名单.xlsx", "--seed", "2"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("分班表4, 统计表4"), std::string::npos) << run.out;
}

TEST(SheetCounters, ChoosingAnXlsListAgainNeverReplacesTheCopySavedBesideIt) {
  FENBAN_REQUIRE_BINARY();
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  const fs::path data = temp.Path() / "数据";
  fs::copy_file(fs::path(FENBAN_TEST_DATA) / "genuine.xls", data / "名单.xls");
  ASSERT_EQ(RunFenban(temp.Path(), {"divide", "名单.xls", "--classes", "2", "--seed", "1"}).status, 0);
  const fs::path copy = data / "名单(fenban).xlsx";
  EditByHand(copy, "分班表1", "手改");

  // The .xls has no division sheets: a second division used to write a new
  // 名单(fenban).xlsx with 分班表2 alone, and the hand-edited 分班表1 was gone.
  const auto before = Snapshot(temp.Path());
  for (const char* command : {"divide", "clean"}) {
    RunResult run = RunFenban(temp.Path(), {command, "名单.xls"});
    EXPECT_EQ(run.status, 1) << Printed(run);
    EXPECT_NE(run.err.find("“名单(fenban).xlsx”已经存在"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("请改选“名单(fenban).xlsx”"), std::string::npos) << run.err;
    EXPECT_EQ(Snapshot(temp.Path()), before) << command;
  }

  RunResult run = RunFenban(temp.Path(), {"divide", "名单(fenban).xlsx", "--seed", "2"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_NE(run.out.find("分班表2, 统计表2"), std::string::npos) << run.out;
  EXPECT_EQ(NoteOf(copy, "分班表1"), "手改");
}

}  // namespace
}  // namespace fenban::clitest
