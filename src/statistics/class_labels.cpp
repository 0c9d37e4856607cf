// The class labels of a division sheet that name no class 1..classCount.
// The engine takes the first classCount distinct labels in sorted order as
// the classes, so a student whose label is empty, a text such as "3班" or a
// number outside the classes would be left out of the statistics, or would
// make a class of its own that pushes a real class out.
#include <string>

#include "host/cell_values.h"
#include "statistics/statistics.h"

namespace fenban::statistics {

namespace {

constexpr int kListedStudents = 10;

bool IsClassNumber(const host::Value& label, int32_t classCount) {
  if (!label.IsNumber()) return false;
  const double number = label.Number();
  return number >= 1 && number <= classCount && number == static_cast<double>(static_cast<int32_t>(number));
}

}  // namespace

std::string StrayClassLabelWarning(const host::Worksheet& division, int32_t headerRow, int32_t classCount) {
  const int32_t lastRow = division.CurrentRegion(headerRow, 1).row2;
  int32_t strays = 0;
  std::string listed;
  for (int32_t row = headerRow + 1; row <= lastRow; ++row) {
    const host::Value& label = division.CellValue(row, 1);
    if (IsClassNumber(label, classCount)) continue;
    ++strays;
    if (strays <= kListedStudents) {
      // Quoted texts and "（空）" need no space before them; numbers do.
      const bool plain = label.IsNumber() || label.IsBoolean() || label.IsError();
      listed += (strays > 1 ? "，" : "") + std::string("第 ") + std::to_string(row) + " 行为" + (plain ? " " : "") +
                host::ShownValue(label);
    }
  }
  if (strays == 0) return "";
  if (strays > kListedStudents) listed += "……";
  const std::string classes = "1 到 " + std::to_string(classCount);
  return division.Name() + " 有 " + std::to_string(strays) + " 名学生的“新班级”不是 " + classes +
         " 的班号，统计会漏掉他们：" + listed + "。请把“新班级”改为 " + classes +
         " 的班号（或改正班级数），再按 统计 按钮！";
}

}  // namespace fenban::statistics
