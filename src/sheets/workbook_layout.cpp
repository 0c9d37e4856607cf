#include "sheets/workbook_layout.h"

#include "host/cell_values.h"
#include "host/value.h"

namespace fenban::sheets {

DivisionPair DivisionPairOf(const std::string& sheetName) {
  DivisionPair pair;
  const size_t length = host::CharCount(sheetName);
  if (length > 3) pair.number = host::RightChars(sheetName, length - 3);
  const std::string kind = host::LeftChars(sheetName, 2);
  if (kind == "分班") {
    pair.side = PairSide::Division;
    pair.divisionSheet = sheetName;
    pair.statisticsSheet = kStatisticsSheetPrefix + pair.number;
  } else if (kind == "统计") {
    pair.side = PairSide::Statistics;
    pair.statisticsSheet = sheetName;
    pair.divisionSheet = kDivisionSheetPrefix + pair.number;
  }
  return pair;
}

std::string StatisticsSheetOf(const std::string& sheetName) {
  const DivisionPair pair = DivisionPairOf(sheetName);
  return pair.side == PairSide::None || pair.number.empty() ? "" : kStatisticsSheetPrefix + pair.number;
}

std::string DivisionSheetOf(const std::string& sheetName) {
  const DivisionPair pair = DivisionPairOf(sheetName);
  return pair.side == PairSide::None || pair.number.empty() ? "" : kDivisionSheetPrefix + pair.number;
}

bool HasTitleRow(const host::Worksheet& divisionSheet) {
  const std::string text = host::CellText(divisionSheet, 2, 1);
  return host::LeftChars(host::RightChars(text, 2), 1) == "班";
}

int32_t DivisionHeaderRow(const host::Worksheet& divisionSheet) { return HasTitleRow(divisionSheet) ? 2 : 1; }

}  // namespace fenban::sheets
