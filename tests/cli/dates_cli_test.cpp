// Dates through the program, checked with an independent reader (openpyxl):
// dates of an .xls list stay dates on the teacher's "数据表", and every
// date column shows dates on the division sheet, from .xls and .xlsx lists.
#include <gtest/gtest.h>

#include <cstdio>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

// For each named column of a sheet (found in header row `headerRow`): the
// number format of every row below, with D when openpyxl reads a date there.
constexpr const char* kColumnFormats = R"(
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book[sys.argv[2]]
header_row = int(sys.argv[3])
headers = [c.value for c in sheet[header_row]]
for name in sys.argv[4:]:
    column = headers.index(name) + 1
    cells = []
    for row in range(header_row + 1, sheet.max_row + 1):
        cell = sheet.cell(row, column)
        if cell.value is None:
            continue
        cells.append(cell.number_format + ('|D' if cell.is_date else '|N'))
    print(name, ' '.join(sorted(set(cells))), len(cells))
)";

TEST(Dates, AnXlsListKeepsItsDatesOnTheDataSheetAndTheDivisionSheet) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  const fs::path data = temp.Path() / "数据";
  fs::copy_file(fs::path(FENBAN_TEST_DATA) / "dates.xls", data / "名单.xls");
  RunResult run = RunFenban(temp.Path(), {"divide", "名单.xls", "--classes", "2", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  const std::string saved = (data / "名单(fenban).xlsx").string();

  // Before, both sheets showed 40385 where the list had 2010-07-26.
  EXPECT_EQ(RunPython(temp.Path(), kColumnFormats, {saved, "数据表", "1", "出生日期", "报到时间", "午休", "总分"}),
            "出生日期 yyyy/m/d|D 6\n"
            "报到时间 yyyy/m/d h:mm:ss|D 6\n"
            "午休 h:mm:ss|D 6\n"
            "总分 General|N 6\n");
  EXPECT_EQ(RunPython(temp.Path(), kColumnFormats, {saved, "分班表1", "2", "出生日期", "报到时间", "午休", "总分"}),
            "出生日期 yyyy/m/d|D 6\n"
            "报到时间 yyyy/m/d h:mm:ss|D 6\n"
            "午休 h:mm:ss|D 6\n"
            "总分 General|N 6\n");
}

TEST(Dates, AnXlsxListKeepsItsColumnFormatsOnTheDivisionSheet) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  const fs::path list = temp.Path() / "数据" / "名单.xlsx";
  // A list as another program writes it: dates in one column, marks with one decimal in another.
  ASSERT_EQ(RunPython(temp.Path(), R"(
import sys, datetime, openpyxl
book = openpyxl.Workbook()
sheet = book.active
sheet.title = '数据表'
sheet.append(['姓名', '出生日期', '总分'])
for i in range(8):
    sheet.append(['学生%d' % i, datetime.date(2010, 3, 1 + i), 600 - i * 7.5])
    sheet.cell(i + 2, 2).number_format = 'yyyy-mm-dd'
    sheet.cell(i + 2, 3).number_format = '0.0'
book.save(sys.argv[1])
print('ok')
)",
                      {list.string()}),
            "ok\n");
  RunResult run = RunFenban(temp.Path(), {"divide", "名单.xlsx", "--classes", "3", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  EXPECT_EQ(RunPython(temp.Path(), kColumnFormats, {list.string(), "分班表1", "2", "出生日期", "总分", "新班级"}),
            "出生日期 yyyy-mm-dd|D 8\n"
            "总分 0.0|N 8\n"
            "新班级 General|N 8\n");
  EXPECT_EQ(RunPython(temp.Path(), kColumnFormats, {list.string(), "数据表", "1", "出生日期"}),
            "出生日期 yyyy-mm-dd|D 8\n");
  // The date column is wide enough for a date, so no cell prints as ####.
  auto book = ReadBook(list);
  host::Worksheet& division = *book->FindSheet("分班表1");
  EXPECT_GE(division.ColumnWidth(ColumnOf(division, 2, "出生日期")), 10);
}

}  // namespace
}  // namespace fenban::clitest
