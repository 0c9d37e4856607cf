// The conventions every layer shares about the workbooks: how a division sheet
// and its statistics sheet pair by name, where a finished division sheet keeps
// its title row, the cells of the entry template, and the message box titles.
#pragma once

#include <cstdint>
#include <string>

#include "host/worksheet.h"

namespace fenban::sheets {

// Titles of the message boxes.
inline constexpr const char* kWarningTitle = "警告";
inline constexpr const char* kNoticeTitle = "提示";
inline constexpr const char* kErrorTitle = "错误";

// The "DTB" column of row 2 that keeps the option "总分列", the header of the
// total column. Host workbooks made before it have nothing there: the total
// column is "总分".
inline constexpr int32_t kTotalColumnOptionColumn = 12;

inline constexpr const char* kDivisionSheetPrefix = "分班表";
inline constexpr const char* kStatisticsSheetPrefix = "统计表";

// The entry template of the host workbook: subject names in A2:A20, the
// rounding choice ("是"/"否") in C2.
struct EntryTemplate {
  static constexpr const char* kSheetName = "登记表";
  static constexpr int32_t kSubjectColumn = 1;
  static constexpr int32_t kFirstSubjectRow = 2;
  static constexpr int32_t kLastSubjectRow = 20;
  static constexpr int32_t kRoundingRow = 2;
  static constexpr int32_t kRoundingColumn = 3;
};

enum class PairSide { None, Division, Statistics };

// A sheet's place in a pair "分班表N" / "统计表N". The side is read from the
// first two characters ("分班" or "统计"); the number is whatever follows the
// third character, "" when the name has three characters or fewer. A name of
// neither side leaves both sheet names empty.
struct DivisionPair {
  PairSide side = PairSide::None;
  std::string number;
  std::string divisionSheet;
  std::string statisticsSheet;
};

DivisionPair DivisionPairOf(const std::string& sheetName);
// "统计表N" / "分班表N" for a sheet of a pair with a number, else "".
std::string StatisticsSheetOf(const std::string& sheetName);
std::string DivisionSheetOf(const std::string& sheetName);

// True when row 1 of a division sheet is the title row its finishing inserts:
// the first of the last two characters of A2's text is "班" (as in "新班级").
bool HasTitleRow(const host::Worksheet& divisionSheet);
// The header row of a division sheet: 2 below a title row, else 1.
int32_t DivisionHeaderRow(const host::Worksheet& divisionSheet);

}  // namespace fenban::sheets
