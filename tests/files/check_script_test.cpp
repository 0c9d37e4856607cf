// An independent reader (openpyxl, through scripts/check_xlsx.py) sees what
// we write: sheets, values, merges, print titles, breaks, panes, validation.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "files/files_test_support.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using host::Rect;

std::string Script() { return std::string(FENBAN_TEST_DATA) + "/../../scripts/check_xlsx.py"; }

bool HaveOpenpyxl() { return std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0; }

int RunCheck(const std::string& arguments) {
  const std::string command = "/usr/bin/python3 " + Script() + " --quiet " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CheckScriptTest, OpenpyxlSeesEveryFeatureWeWrite) {
  if (!HaveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl";
  testing::TempDir dir;
  host::ModelWorkbook book("check.xlsx", dir.Path());
  host::ModelWorksheet& division = book.AppendSheet("分班表1");
  division.SetCellValue(1, 1, "一班");
  division.Merge(Rect{1, 1, 1, 4});
  division.SetCellValue(2, 1, "姓名");
  division.SetCellValue(3, 1, "张三");
  division.SetCellValue(3, 2, 612.5);
  division.SetCellValue(4, 2, 598);
  division.SetFormulaR1C1(Rect{5, 2, 5, 2}, "=SUM(R3C2:R[-1]C)");
  division.AddHPageBreak(12);
  division.GetPageSetup().SetPrintTitleRows("$1:$2");
  division.View().splitRow = 2;
  division.View().freezePanes = true;
  host::ModelWorksheet& entry = book.AppendSheet("登记表");
  host::ValidationRule rule;
  rule.area = Rect{2, 3, 2, 3};
  rule.type = host::kValidateList;
  rule.formula1 = "是,否";
  entry.AddValidation(rule);
  book.AppendSheet("FBB").SetVisible(host::kSheetHidden);
  book.SetActiveSheetIndex(2);
  WriteXlsx(book, dir.File("check.xlsx"));

  const std::string file = dir.File("check.xlsx");
  EXPECT_EQ(RunCheck(file + " --expect-sheet 分班表1 --expect-sheet 登记表 --expect-sheet FBB"
                            " --expect-value '分班表1!A3=张三' --expect-value '分班表1!B3=612.5'"
                            " --expect-value '分班表1!B5==SUM($B$3:B4)'"
                            " --expect-merge '分班表1!A1:D1' --expect-print-titles '分班表1=1:2'"
                            " --expect-row-break '分班表1=12' --expect-frozen '分班表1=A3'"
                            " --expect-validation '登记表!C2=是,否' --expect-hidden FBB --expect-active 登记表"),
            0);
  // The script does fail when an expectation does not hold.
  EXPECT_EQ(RunCheck(file + " --expect-sheet 统计表1"), 1);
  EXPECT_EQ(RunCheck(file + " --expect-row-break '分班表1=13'"), 1);
  EXPECT_EQ(RunCheck(file + " --expect-frozen '分班表1=A2'"), 1);
  EXPECT_EQ(RunCheck(file + " --expect-value '分班表1!B4=599'"), 1);
  EXPECT_EQ(RunCheck(dir.File("missing.xlsx")), 1);
}

}  // namespace
}  // namespace fenban::files
