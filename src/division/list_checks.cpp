#include "division/list_checks.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <string>
#include <vector>

#include "host/cell_values.h"
#include "host/constants.h"
#include "host/errors.h"
#include "host/formula.h"
#include "host/rect.h"
#include "division/list_layout.h"
#include "division/total_column.h"
#include "sheets/lookups.h"

namespace fenban::division {

namespace {

constexpr size_t kListedCells = 5;
// Rows below the header that a finished division sheet adds: its title row.
constexpr int32_t kDivisionTitleRows = 1;

std::string Address(int32_t row, int32_t column) { return host::RectAddress(host::Rect{row, column, row, column}); }

bool IsHeader(const host::Value& value, const std::string& header) { return value.IsText() && value.Text() == header; }

// The headers of row 1 that are in `names`, in the order of the row.
std::vector<std::string> HeadersAmong(const host::Worksheet& sheet, const std::vector<std::string>& names) {
  std::vector<std::string> found;
  const int32_t lastColumn = sheet.UsedRect().col2;
  for (int32_t column = 1; column <= lastColumn; ++column) {
    const std::string text = HeaderText(sheet.CellValue(1, column));
    if (std::find(names.begin(), names.end(), text) != names.end() &&
        std::find(found.begin(), found.end(), text) == found.end()) {
      found.push_back(text);
    }
  }
  return found;
}

std::string Quoted(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += (joined.empty() ? "" : "、") + ("“" + text + "”");
  return joined;
}

// What to change when the total column is not found: the option that names
// it, a well-known total header to name there (never taken unasked), or the
// subjects of the entry template to add up.
std::string TotalColumnAdvice(const host::Worksheet& sheet, const std::string& chosen,
                              const std::vector<std::string>& subjects) {
  if (!chosen.empty()) {
    return "请把“总分列”改为第 1 行里总分那一列的表头（命令行 --total-column 表头），或清空“总分列”，使用“总分”列，再分班。";
  }
  const std::vector<std::string> totals = HeadersAmong(sheet, WellKnownTotalHeaders());
  if (totals.size() == 1) {
    return "第 1 行有" + Quoted(totals) + "：要用它作总分，请在“总分列”里填“" + totals[0] + "”（命令行 --total-column " +
           totals[0] + "），再分班。";
  }
  if (totals.size() > 1) {
    return "第 1 行有" + Quoted(totals) + "：请在“总分列”里填要用的那一列的表头（命令行 --total-column 表头），再分班。";
  }
  const std::vector<std::string> marks = HeadersAmong(sheet, subjects);
  if (!marks.empty()) {
    return "第 1 行有登记表的学科" + Quoted(marks) +
           "：要用各科成绩之和作总分，请勾选“用各科成绩算总分”（命令行 --total-from-subjects），或在第 1 行加一列“总分”，再分班。";
  }
  return "请在第 1 行加一列“总分”，或在“总分列”里填总分那一列的表头（命令行 --total-column 表头），再分班。";
}

// The merged area of the sheet that covers the cell, if any (none where the
// host cannot list its merged areas).
std::optional<host::Rect> MergeCovering(const host::Worksheet& sheet, int32_t row, int32_t column) {
  std::optional<host::Rect> covering;
  host::SkipOnError([&] {
    for (const host::Rect& area : sheet.MergedAreas()) {
      if (area.row1 <= row && row <= area.row2 && area.col1 <= column && column <= area.col2) covering = area;
    }
  });
  return covering;
}

// Finds the formula the file held without its result that a cell's value
// rests on: the cell's own, or one that its computed formula reads, directly
// or through other computed formulas. Each cell is looked at once.
class UncomputedSources {
 public:
  explicit UncomputedSources(const host::Worksheet& sheet) : sheet_(sheet), used_(sheet.UsedRect()) {}

  // "D2 =VLOOKUP(...)", or "" when the cell rests on none (or only through
  // more than kDepth formulas, which are not followed: the stack stays small).
  std::string Of(int32_t row, int32_t column, int32_t depth = 0) {
    const int64_t key = int64_t{row} * (host::kMaxColumns + 1) + column;
    if (const auto found = known_.find(key); found != known_.end()) return found->second;
    known_[key] = "";  // a formula that reads itself ends here
    std::string source;
    if (const std::string own = sheet_.UncomputedFormula(row, column); !own.empty()) {
      source = Address(row, column) + " " + own;
    } else {
      source = depth < kDepth ? OfFormula(row, column, depth) : "";
    }
    known_[key] = source;
    return source;
  }

 private:
  static constexpr int32_t kDepth = 64;

  std::string OfFormula(int32_t row, int32_t column, int32_t depth) {
    const std::string formula = sheet_.CellFormulaR1C1(row, column);
    if (formula.empty()) return "";
    host::FormulaNode parsed;
    try {
      parsed = host::ParseFormulaR1C1(formula);
    } catch (const host::RuntimeError&) {
      return "";
    }
    std::vector<const host::FormulaNode*> pending = {&parsed};
    while (!pending.empty()) {
      const host::FormulaNode* node = pending.back();
      pending.pop_back();
      for (const host::FormulaNode& arg : node->args) pending.push_back(&arg);
      if (node->kind != host::FormulaNode::Kind::Reference && node->kind != host::FormulaNode::Kind::Area) continue;
      host::Rect area;
      if (!host::ResolveReference(node->first, node->last, row, column, area)) continue;
      for (int32_t r = area.row1; r <= std::min(area.row2, used_.row2); ++r) {
        for (int32_t c = area.col1; c <= std::min(area.col2, used_.col2); ++c) {
          if (std::string source = Of(r, c, depth + 1); !source.empty()) return source;
        }
      }
    }
    return "";
  }

  const host::Worksheet& sheet_;
  host::Rect used_;
  std::unordered_map<int64_t, std::string> known_;
};

}  // namespace

std::string ListSizeWarning(const host::Worksheet& dataSheet, int32_t classCount) {
  const host::Rect table = dataSheet.CurrentRegion(1, 1);
  const int64_t students = table.row2 - 1;
  if (students == 0) {
    return "数据表里没有学生：第 1 行是表头，下面没有学生。请把学生名单从第 2 行起填好（每行一名学生），再分班。";
  }
  const int64_t mostStudents = host::kMaxRows - 1 - kDivisionTitleRows;
  if (students > mostStudents) {
    return "数据表有 " + std::to_string(students) + " 名学生，分班表放不下：分班表在表头上面还有一行标题，一张工作表最多 " +
           std::to_string(host::kMaxRows) + " 行，最多能分 " + std::to_string(mostStudents) +
           " 名学生。请把名单分成几个工作簿，分别分班。";
  }
  if (classCount >= 1 && students < classCount) {
    return "数据表只有 " + std::to_string(students) + " 名学生，少于班级数 " + std::to_string(classCount) +
           "，不能分班。请减少班级数（最多 " + std::to_string(students) + " 个班）或补全名单，再分班。";
  }
  return "";
}

std::string MissingTotalColumnMessage(const host::Worksheet& dataSheet, const std::string& chosen,
                                      const std::vector<std::string>& subjects) {
  const std::string header = chosen.empty() ? kTotalHeader : chosen;
  const std::string plain = chosen.empty() ? "数据表没有“总分”列，不能分班！"
                                           : "数据表没有“总分列”指定的“" + chosen + "”列，不能分班！";
  const host::Rect used = dataSheet.UsedRect();
  // The first empty header cell ends the headers that are read.
  int32_t firstEmpty = 1;
  while (firstEmpty <= used.col2 && !dataSheet.CellValue(1, firstEmpty).IsEmpty()) ++firstEmpty;
  for (int32_t column = firstEmpty + 1; column <= used.col2; ++column) {
    if (!IsHeader(dataSheet.CellValue(1, column), header)) continue;
    const std::string where = "数据表的“" + header + "”在 " + Address(1, column) + "，但读不到：";
    const std::string stop = "表头只读到第一个空的表头单元格 " + Address(1, firstEmpty) + " 为止";
    if (const std::optional<host::Rect> merged = MergeCovering(dataSheet, 1, firstEmpty)) {
      return where + "表头行的 " + host::RectAddress(*merged) + " 是合并单元格，合并后 " + Address(1, firstEmpty) +
             " 是空的，" + stop + "。请取消表头的合并单元格，让每一列都有自己的表头，再分班。";
    }
    return where + stop + "。请给 " + Address(1, firstEmpty) + " 填上表头（或删除这一列），再分班。";
  }
  // A title row above the headers that is not a plain title.
  for (int32_t row = 2; row <= std::min(used.row2, 5); ++row) {
    for (int32_t column = 1; column <= used.col2; ++column) {
      if (!IsHeader(dataSheet.CellValue(row, column), header)) continue;
      return "数据表的“" + header + "”在 " + Address(row, column) +
             "，但表头应在第 1 行：分班把第 1 行当作表头。第 1 行：" + HeadersOfRow(dataSheet, 1) + "。请删除表头上面的 " +
             std::to_string(row - 1) + " 行（标题或合并单元格），让表头在第 1 行，再分班。";
    }
  }
  std::string found = "第 1 行的表头：" + HeadersOfRow(dataSheet, 1) + "。";
  // A row 1 of one value reads as a title: the rows below it are shown too.
  if (used.col2 > 1 && dataSheet.ValuesWithin(host::Rect{1, 2, 1, used.col2}) == std::nullopt) {
    for (int32_t row = 2; row <= std::min(used.row2, 4); ++row) {
      found += "第 " + std::to_string(row) + " 行：" + HeadersOfRow(dataSheet, row) + "。";
    }
  }
  return plain + found + TotalColumnAdvice(dataSheet, chosen, subjects);
}

std::string UncomputedTotalsWarning(const host::Worksheet& dataSheet, const std::string& totalHeader) {
  const int32_t totalColumn = sheets::FindHeaderColumn(dataSheet, totalHeader);
  if (totalColumn == 0) return "";
  const int32_t lastRow = dataSheet.CurrentRegion(1, 1).row2;
  if (!dataSheet.HasUncomputedFormulas()) return "";
  UncomputedSources sources(dataSheet);
  std::vector<std::string> cells;
  for (int32_t row = 2; row <= lastRow; ++row) {
    const std::string source = sources.Of(row, totalColumn);
    if (source.empty()) continue;
    const std::string address = Address(row, totalColumn);
    // A total computed from such a formula names the formula it rests on.
    cells.push_back(source.rfind(address + " ", 0) == 0 ? source : address + " 的公式用到 " + source);
  }
  if (cells.empty()) return "";
  std::string listed;
  for (size_t i = 0; i < cells.size() && i < kListedCells; ++i) listed += (i > 0 ? "，" : "") + cells[i];
  if (cells.size() > kListedCells) listed += "……共 " + std::to_string(cells.size()) + " 个";
  return "工作表“" + dataSheet.Name() + "”的“" + totalHeader + "”列有算不出的公式，不能分班：" + listed +
         "。文件里没有保存这些公式的结果（用程序脚本写的名单常常这样），fenban 又算不了这种公式。请在 WPS、Excel 或 "
         "LibreOffice 里打开这个文件并保存一次（会存下公式的结果），或把“" + totalHeader + "”列改为数值，再分班。";
}

std::string UnusedGroupsNotice(const host::Worksheet& dataSheet) {
  const int32_t lastRow = dataSheet.CurrentRegion(1, 1).row2;
  std::string columns;
  for (const char* header : {"分开", "同班"}) {
    const int32_t column = sheets::FindHeaderColumn(dataSheet, header);
    if (column == 0) continue;
    bool used = false;
    for (int32_t row = 2; row <= lastRow && !used; ++row) used = !dataSheet.CellValue(row, column).IsEmpty();
    if (used) columns += std::string(columns.empty() ? "" : "和") + "“" + header + "”";
  }
  if (columns.empty()) return "";
  return "数据表的" + columns + "只在勾选“优化均衡”时才会照顾，这次分班没有勾选“优化均衡”，没有按它们分。要照顾它们，请勾选“优化均衡”后再分班。";
}

std::string UnusedBalanceColumnsNotice(const std::vector<std::string>& columns) {
  if (columns.empty()) return "";
  std::string names;
  for (const std::string& name : columns) names += (names.empty() ? "“" : "、“") + name + "”";
  return "“均衡列”的" + names + "只在勾选“优化均衡”时才会均衡，这次分班没有勾选“优化均衡”，统计表下方列出了各班的人数。要均衡它们，请勾选“优化均衡”后再分班。";
}

}  // namespace fenban::division
