// The classes of a division sheet. The engine takes the first classCount
// distinct labels in sorted order as the classes, so the count must be the
// division's own: a larger one would add empty classes (and a "最大差" as
// large as a class), a smaller one would leave classes out. A student whose
// label is empty, a text such as "3班" or a number that continues no class
// would be left out or would push a real class out.
#include <algorithm>
#include <set>
#include <string>

#include "host/cell_values.h"
#include "statistics/statistics.h"

namespace fenban::statistics {

namespace {

constexpr int kListedStudents = 10;

// The whole number of a label, or 0 when it is no class number 1 and up.
int32_t ClassNumber(const host::Value& label) {
  if (!label.IsNumber()) return 0;
  const double number = label.Number();
  if (!(number >= 1 && number <= host::kMaxRows)) return 0;
  return number == static_cast<double>(static_cast<int32_t>(number)) ? static_cast<int32_t>(number) : 0;
}

bool IsLabel(const host::Value& value, const char* text) { return value.IsText() && value.Text() == text; }

}  // namespace

int32_t RecordedClassCount(const host::Worksheet& statistics) {
  // The header row is row 1, or row 2 below the finished sheet's title.
  for (int32_t headerRow = 1; headerRow <= 2; ++headerRow) {
    if (!IsLabel(statistics.CellValue(headerRow, 1), "新班级")) continue;
    const int32_t lastRow = statistics.CurrentRegion(headerRow, 1).row2;
    for (int32_t row = headerRow + 1; row <= lastRow; ++row) {
      if (IsLabel(statistics.CellValue(row, 1), "最大差")) return row - headerRow - 1;
    }
    return 0;
  }
  return 0;
}

DivisionClasses ClassesOf(const host::Worksheet& division, int32_t headerRow, int32_t recordedCount) {
  const int32_t lastRow = division.CurrentRegion(headerRow, 1).row2;
  std::set<int32_t> numbers;
  int32_t highest = 0;
  for (int32_t row = headerRow + 1; row <= lastRow; ++row) {
    const int32_t number = ClassNumber(division.CellValue(row, 1));
    if (number == 0) continue;
    numbers.insert(number);
    highest = std::max(highest, number);
  }
  // Without a record the highest class is the count. With one, classes
  // beyond it count only as long as they follow on without a gap: a
  // student moved into a new class K+1 gets it, a mistyped 20 in a
  // division of 8 classes does not make twelve classes.
  DivisionClasses classes;
  classes.count = recordedCount >= 1 ? recordedCount : highest;
  while (numbers.count(classes.count + 1) != 0) ++classes.count;
  classes.strays = StrayClassLabelWarning(division, headerRow, classes.count);
  return classes;
}

std::string StrayClassLabelWarning(const host::Worksheet& division, int32_t headerRow, int32_t classCount) {
  const int32_t lastRow = division.CurrentRegion(headerRow, 1).row2;
  int32_t strays = 0;
  std::string listed;
  for (int32_t row = headerRow + 1; row <= lastRow; ++row) {
    const host::Value& label = division.CellValue(row, 1);
    const int32_t number = ClassNumber(label);
    if (number >= 1 && number <= classCount) continue;
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
  // Without a single class number the division's classes are unknown.
  const std::string classes = classCount >= 1 ? "1 到 " + std::to_string(classCount) : "1、2、3……";
  const std::string newClass =
      classCount >= 1 ? "（新加一个班就用 " + std::to_string(classCount + 1) + "）" : std::string();
  return division.Name() + " 有 " + std::to_string(strays) + " 名学生的“新班级”不是 " + classes +
         " 的班号，统计会漏掉他们：" + listed + "。请把“新班级”改为 " + classes + " 的班号" + newClass +
         "，再按 统计 按钮！";
}

std::string ClassCountNotice(const std::string& divisionName, int32_t divisionCount, int32_t givenCount) {
  return "班级数 " + std::to_string(givenCount) + " 与 " + divisionName + " 的班数不同：" + divisionName + " 有 " +
         std::to_string(divisionCount) + " 个班，统计按这 " + std::to_string(divisionCount) +
         " 个班做。要分成别的班数，请重新分班。";
}

}  // namespace fenban::statistics
