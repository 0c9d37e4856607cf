// The "均衡列" as a sheet holds them: the named columns of its header row
// (row 1) with their distinct values, what the division refuses when a name
// is not there and the notice for a column of too many values.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/value.h"
#include "host/worksheet.h"

namespace fenban::sheets {

// More values than this in one column (an ID or a name column) are not
// spread: each value costs the refinement one figure per class, and a table
// of hundreds of columns helps nobody.
inline constexpr size_t kMostBalanceValues = 60;

struct BalanceColumn {
  std::string name;
  int32_t column = 0;
  // The distinct values of its non-empty cells as texts, in the order an
  // ascending sort gives them (numbers by value, then texts by code point).
  // Empty cells count as no value: they are neither spread nor shown.
  std::vector<std::string> values;
};

struct BalanceColumns {
  std::vector<BalanceColumn> usable;                    // found, with at most kMostBalanceValues values
  std::vector<std::string> missing;                     // names not in the header row
  std::vector<std::pair<std::string, size_t>> tooMany;  // found with more values: name and count
};

// Looks the names up in row 1 of the sheet and reads rows 2..lastRow of the
// columns found. An error value in a cell raises 13 naming it.
BalanceColumns FindBalanceColumns(const host::Worksheet& sheet, const std::vector<std::string>& names, int32_t lastRow);

// The refusal for names the sheet's header row does not hold: it names them
// and lists the headers the row does hold. Empty when every name is there.
std::string MissingBalanceColumnsWarning(const host::Worksheet& sheet, const BalanceColumns& columns);
// The notice for columns with more than kMostBalanceValues values; empty
// when there are none.
std::string TooManyBalanceValuesNotice(const BalanceColumns& columns);

}  // namespace fenban::sheets
