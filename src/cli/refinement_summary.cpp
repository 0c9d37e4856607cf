#include "cli/refinement_summary.h"

#include <ostream>

#include <fmt/format.h>

#include "cli/table_printer.h"

namespace fenban::cli {

std::string SheetFigureText(const form::BalanceFigure& table, double largest) {
  if (table.name.rfind("平均分", 0) == 0) return fmt::format("{:.1f}", largest);
  return fmt::format("{:.0f}", largest);
}

void PrintRefinementSummary(std::ostream& out, const std::vector<form::BalanceFigure>& figures,
                            const std::vector<std::string>& notes) {
  if (figures.empty()) return;
  TextTable sheet = {{"统计表 statistics sheet", "蛇形 dealt", "优化 refined", "列 column"}};
  TextTable whole = {{"最大差 largest difference", "蛇形 dealt", "优化 refined"}};
  for (const form::BalanceFigure& figure : figures) {
    if (figure.sheetTable) {
      sheet.push_back({figure.name, SheetFigureText(figure, figure.dealt), SheetFigureText(figure, figure.refined), figure.column});
    } else {
      whole.push_back({figure.name, fmt::format("{:.2f}", figure.dealt), fmt::format("{:.2f}", figure.refined)});
    }
  }
  out << "\n优化前后 before and after the refinement\n";
  if (sheet.size() > 1) out << "每张表最大的“最大差” the largest difference of each table, as on the sheet:\n" << FormatTable(sheet);
  out << "全班 whole classes (平均分、人数、标准差 means, counts, SD):\n" << FormatTable(whole);
  if (notes.empty()) return;
  out << "未能满足 not met (also below the statistics):\n";
  for (const std::string& note : notes) out << note << "\n";
}

}  // namespace fenban::cli
