// The counts of the "均衡列" per class, for their tables below the
// statistics sheet's own.
#include <map>

#include "host/cell_values.h"
#include "sheets/balance_columns.h"
#include "statistics/engine_data.h"

namespace fenban::statistics {

void CountBalanceColumns(EngineData& data) {
  data.balanceTables.clear();
  if (data.balanceNames.empty()) return;
  const host::Worksheet& division = *data.division;
  const sheets::BalanceColumns columns = sheets::FindBalanceColumns(division, data.balanceNames, data.rowCount);
  for (const sheets::BalanceColumn& column : columns.usable) {
    if (column.values.empty()) continue;
    EngineData::BalanceTable table{column.name, column.values, {}};
    std::map<std::string, size_t> index;
    for (size_t v = 0; v < column.values.size(); ++v) index.emplace(column.values[v], v);
    for (int32_t c = 1; c <= data.classCount; ++c) {
      std::vector<int32_t> counts(column.values.size(), 0);
      for (int32_t r = data.FirstRowOf(c); r <= data.LastRowOf(c); ++r) {
        if (division.CellValue(r, column.column).IsEmpty()) continue;
        const auto found = index.find(host::CellText(division, r, column.column));
        if (found != index.end()) ++counts[found->second];
      }
      table.counts.push_back(std::move(counts));
    }
    data.balanceTables.push_back(std::move(table));
  }
}

}  // namespace fenban::statistics
