#include "cli/refinement_summary.h"

#include <ostream>

#include <fmt/format.h>

#include "cli/table_printer.h"

namespace fenban::cli {

void PrintRefinementSummary(std::ostream& out, const std::vector<form::BalanceFigure>& figures) {
  if (figures.empty()) return;
  TextTable rows = {{"最大差 largest difference", "蛇形 dealt", "优化 refined"}};
  for (const form::BalanceFigure& figure : figures) {
    rows.push_back({figure.name, fmt::format("{:.2f}", figure.dealt), fmt::format("{:.2f}", figure.refined)});
  }
  out << "\n优化前后 before and after the refinement (平均分、人数、标准差 means, counts, SD):\n" << FormatTable(rows);
}

}  // namespace fenban::cli
