// Codes and numbers with spaces in a list written by another program:
// choosing the list removes the spaces, and every ID number, student number
// and code keeps each digit as typed, on "数据表", on the division sheet and
// in the file (read with openpyxl, an independent reader).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli_test_support.h"

namespace fenban::clitest {
namespace {

// Writes the list: 12 students; every code cell carries a space.
constexpr const char* kWriteList = R"(
import sys, openpyxl
codes = ['1e5 ', '12, 345', ' 300', '85.50 ', '-0 ', '+5 ', '2024-05-01 ', '85% ', '0 21-1234', '1 234567890123',
         '13812345678 ', ' 000993']
book = openpyxl.Workbook()
sheet = book.active
sheet.title = '数据表'
sheet.append(['姓名', '性别', '总分', '学号', '身份证号', '代码'])
for i in range(1, 13):
    number = '%06d ' % (992 + i)
    identity = ('110101200801011%03d' % i) if i % 2 else ('11010120080101%03dX' % i)
    if i % 3 == 0:
        identity += ' '
    total = ' 700' if i == 1 else 600 - 7 * i
    sheet.append(['学生 %d' % i, '女' if i % 2 else '男', total, number, identity, codes[i - 1]])
book.save(sys.argv[1])
print('ok')
)";

// For a sheet and its header row: one line per student, sorted, with the
// type and value openpyxl reads in each named column.
constexpr const char* kReadCells = R"(
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book[sys.argv[2]]
header_row = int(sys.argv[3])
headers = [c.value for c in sheet[header_row]]
columns = [headers.index(name) + 1 for name in sys.argv[4:]]
lines = []
for row in range(header_row + 1, sheet.max_row + 1):
    values = [sheet.cell(row, column).value for column in columns]
    if values[0] is None:
        continue
    lines.append(' '.join('%s:%r' % (type(v).__name__, v) for v in values))
print('\n'.join(sorted(lines)))
)";

// What openpyxl must read for student i: name, total, student number, ID
// number and code, as the list's kWriteList wrote them less their spaces.
std::string ExpectedLine(int i) {
  static const char* const kCodes[] = {"str:'1e5'",      "str:'12,345'", "int:300",       "float:85.5",
                                       "int:0",          "int:5",        "str:'2024-05-01'", "str:'85%'",
                                       "str:'021-1234'", "str:'1234567890123'", "int:13812345678", "str:'000993'"};
  char number[16], identity[32];
  std::snprintf(number, sizeof number, "%06d", 992 + i);
  if (i % 2) {
    std::snprintf(identity, sizeof identity, "110101200801011%03d", i);
  } else {
    std::snprintf(identity, sizeof identity, "11010120080101%03dX", i);
  }
  const std::string total = i == 1 ? "int:700" : "int:" + std::to_string(600 - 7 * i);
  return "str:'学生" + std::to_string(i) + "' " + total + " str:'" + number + "' str:'" + identity + "' " +
         kCodes[i - 1];
}

std::string ExpectedLines() {
  std::vector<std::string> lines;
  for (int i = 1; i <= 12; ++i) lines.push_back(ExpectedLine(i));
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(TypedEntryThroughTheProgram, IdNumbersStudentNumbersAndCodesKeepEveryDigit) {
  FENBAN_REQUIRE_BINARY();
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  TempFolder temp;
  ASSERT_EQ(RunFenban(temp.Path(), {"init"}).status, 0);
  const fs::path list = temp.Path() / "数据" / "名单.xlsx";
  ASSERT_EQ(RunPython(temp.Path(), kWriteList, {list.string()}), "ok\n");

  const RunResult run = RunFenban(temp.Path(), {"divide", "名单.xlsx", "--classes", "3", "--seed", "1"});
  ASSERT_EQ(run.status, 0) << Printed(run);
  // Before, "110101200801011003 " became the number 110101200801011000 and
  // "1e5 " the number 100000.
  const std::vector<std::string> columns = {"姓名", "总分", "学号", "身份证号", "代码"};
  std::vector<std::string> dataArgs = {list.string(), "数据表", "1"};
  dataArgs.insert(dataArgs.end(), columns.begin(), columns.end());
  EXPECT_EQ(RunPython(temp.Path(), kReadCells, dataArgs), ExpectedLines());
  std::vector<std::string> divisionArgs = {list.string(), "分班表1", "2"};
  divisionArgs.insert(divisionArgs.end(), columns.begin(), columns.end());
  EXPECT_EQ(RunPython(temp.Path(), kReadCells, divisionArgs), ExpectedLines());

  // The total " 700" counts as the number it is: the best of the year goes to class 1.
  auto book = ReadBook(list);
  host::Worksheet& division = *book->FindSheet("分班表1");
  const int32_t nameColumn = ColumnOf(division, 2, "姓名");
  for (int32_t row = 3; row <= 14; ++row) {
    if (division.CellValue(row, nameColumn) == host::Value("学生1")) EXPECT_EQ(division.CellValue(row, 1), host::Value(1));
  }
}

}  // namespace
}  // namespace fenban::clitest
