// The refinement step: after the serpentine deal and the preset classes,
// students trade places so that the classes become alike in every mark,
// category and spread, with the keep-apart, keep-together and same-name
// wishes met.
#include "division/refine_classes.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <set>

#include "division/sheet_figures.h"
#include "division/work_table.h"
#include "host/constants.h"
#include "host/range.h"
#include "host/value.h"
#include "sheets/lookups.h"

namespace fenban::division {
namespace {

using sheets::kWarningTitle;
constexpr const char* kTemplateSheetName = "登记表";
constexpr int32_t kMaxProblemsShown = 5;
constexpr size_t kMaxNamesShown = 12;

double MarkOf(const host::Value& value) {
  if (value.IsEmpty() || value.IsBoolean() || value.IsError() || !value.IsNumeric()) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return value.ToDouble();
}

std::vector<double> ReadMarks(const host::Worksheet& work, int32_t column, int32_t rowCount) {
  std::vector<double> marks;
  marks.reserve(static_cast<size_t>(std::max(0, rowCount - 1)));
  for (int32_t row = 2; row <= rowCount; ++row) marks.push_back(MarkOf(work.CellValue(row, column)));
  return marks;
}

std::vector<std::string> ReadTexts(const host::Worksheet& work, int32_t column, int32_t rowCount) {
  std::vector<std::string> texts;
  for (int32_t row = 2; row <= rowCount; ++row) texts.push_back(column > 0 ? work.CellValue(row, column).ToText() : "");
  return texts;
}

// Value codes in order of first appearance; an empty cell is -1. The texts
// of the codes go into `values` when it is given.
std::vector<int32_t> CodeValues(const std::vector<std::string>& texts, std::vector<std::string>* values = nullptr) {
  std::map<std::string, int32_t> codes;
  std::vector<int32_t> result;
  for (const std::string& text : texts) {
    if (text.empty()) {
      result.push_back(-1);
      continue;
    }
    auto [found, added] = codes.emplace(text, static_cast<int32_t>(codes.size()));
    if (added && values != nullptr) values->push_back(text);
    result.push_back(found->second);
  }
  return result;
}

// Per value code (CodeValues' codes), its place in an ascending sort of the
// column: numbers by value first, then texts in code point order.
std::vector<int32_t> SortRanks(const host::Worksheet& work, int32_t column, int32_t rowCount,
                               const std::vector<int32_t>& codes) {
  std::vector<std::pair<std::pair<int32_t, double>, std::string>> keys;  // per code
  for (int32_t row = 2; row <= rowCount; ++row) {
    const int32_t code = codes[static_cast<size_t>(row - 2)];
    if (code < 0 || static_cast<size_t>(code) < keys.size()) continue;
    const host::Value& value = work.CellValue(row, column);
    keys.push_back(value.IsNumber() ? std::make_pair(std::make_pair(0, value.Number()), std::string())
                                    : std::make_pair(std::make_pair(1, 0.0), value.ToText()));
  }
  std::vector<int32_t> order(keys.size());
  for (size_t c = 0; c < order.size(); ++c) order[c] = static_cast<int32_t>(c);
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t x, int32_t y) { return keys[static_cast<size_t>(x)] < keys[static_cast<size_t>(y)]; });
  std::vector<int32_t> ranks(keys.size());
  for (size_t r = 0; r < order.size(); ++r) ranks[static_cast<size_t>(order[r])] = static_cast<int32_t>(r);
  return ranks;
}

// Students sharing a non-empty text, in order of first appearance; only
// groups of two or more.
std::vector<std::vector<int32_t>> GroupsOf(const std::vector<std::string>& texts, std::vector<std::string>* values) {
  std::map<std::string, size_t> index;
  std::vector<std::vector<int32_t>> groups;
  std::vector<std::string> shared;
  for (size_t s = 0; s < texts.size(); ++s) {
    if (texts[s].empty()) continue;
    auto [it, added] = index.emplace(texts[s], groups.size());
    if (added) {
      groups.emplace_back();
      shared.push_back(texts[s]);
    }
    groups[it->second].push_back(static_cast<int32_t>(s));
  }
  std::vector<std::vector<int32_t>> kept;
  for (size_t g = 0; g < groups.size(); ++g) {
    if (groups[g].size() < 2) continue;
    kept.push_back(groups[g]);
    if (values != nullptr) values->push_back(shared[g]);
  }
  return kept;
}

// The subject columns named on "登记表" A2:A20 that the work table holds,
// once each and without the total.
std::vector<std::pair<std::string, int32_t>> SubjectColumns(host::Application& app, const host::Worksheet& work,
                                                            int32_t totalColumn) {
  std::vector<std::pair<std::string, int32_t>> subjects;
  std::set<int32_t> seen{totalColumn};
  host::Worksheet& entry = HostSheet(app, kTemplateSheetName);
  for (int32_t row = 2; row <= 20; ++row) {
    const std::string name = entry.CellValue(row, 1).ToText();
    if (name.empty()) continue;
    const int32_t column = sheets::FindHeaderColumn(work, name);
    if (column == 0 || !seen.insert(column).second) continue;
    subjects.emplace_back(name, column);
  }
  return subjects;
}

std::string StudentName(const WorkStudents& students, int32_t student) {
  const std::string& name = students.names[static_cast<size_t>(student)];
  if (!name.empty()) return name;
  const double total = students.list.total[static_cast<size_t>(student)];
  return "总分为" + (std::isnan(total) ? std::string("空") : host::NumberToText(total)) + "的学生";
}

std::string NameList(const WorkStudents& students, const std::vector<int32_t>& group) {
  std::string text;
  for (size_t i = 0; i < group.size() && i < kMaxNamesShown; ++i) {
    if (!text.empty()) text += "、";
    text += StudentName(students, group[i]);
  }
  if (group.size() > kMaxNamesShown) text += " 等 " + std::to_string(group.size()) + " 人";
  return text;
}

std::string DescribeProblem(const WorkStudents& students, const ConstraintProblem& problem) {
  const std::string names = NameList(students, problem.students);
  const size_t g = static_cast<size_t>(problem.group);
  switch (problem.kind) {
    case ConstraintProblem::Kind::TogetherTooLarge:
      return "“同班”为“" + students.togetherValues[g] + "”的 " + std::to_string(problem.students.size()) +
             " 名学生超过一个班能容纳的人数，不能同班：" + names;
    case ConstraintProblem::Kind::TogetherPresets:
      return "“同班”为“" + students.togetherValues[g] + "”的学生预设了不同的班，不能同班：" + names;
    case ConstraintProblem::Kind::ApartTooLarge:
      return "“分开”为“" + students.apartValues[g] + "”的 " + std::to_string(problem.students.size()) +
             " 名学生多于班级数，不能分到不同的班：" + names;
    case ConstraintProblem::Kind::ApartPresets:
      return "“分开”为“" + students.apartValues[g] + "”的学生预设了同一个班，不能分开：" + names;
    case ConstraintProblem::Kind::ApartAndTogether:
      return "“分开”为“" + students.apartValues[g] + "”的学生又要同班（“同班”相同），不能同时做到：" + names;
    case ConstraintProblem::Kind::ApartUnmet:
      return "没能把“分开”为“" + students.apartValues[g] + "”的学生分到不同的班：" + names;
    case ConstraintProblem::Kind::TogetherUnmet:
      return "没能把“同班”为“" + students.togetherValues[g] + "”的学生分到同一个班（预设班的学生占满了班）：" + names;
  }
  return names;
}

void ShowProblems(host::Application& app, const WorkStudents& students, const std::vector<ConstraintProblem>& problems) {
  std::string text = "不能按“分开”“同班”的要求优化分班，没有生成分班表：";
  for (size_t p = 0; p < problems.size() && p < static_cast<size_t>(kMaxProblemsShown); ++p) {
    text += "\r" + DescribeProblem(students, problems[p]);
  }
  if (problems.size() > static_cast<size_t>(kMaxProblemsShown)) {
    text += "\r还有 " + std::to_string(problems.size() - kMaxProblemsShown) + " 处。";
  }
  app.MsgBox(text, host::kMsgExclamation, kWarningTitle);
}

// Per table of the statistics sheet, in its order, its largest "最大差"
// after the deal and after refining, as the sheet will show them.
std::vector<form::BalanceFigure> SheetTableFigures(const StudentList& list, const std::vector<int32_t>& refined) {
  const std::vector<SheetColumn> before = SheetDifferences(list, list.classOf);
  const std::vector<SheetColumn> after = SheetDifferences(list, refined);
  std::vector<form::BalanceFigure> figures;
  for (size_t c = 0; c < after.size(); ++c) {
    const std::string title = SheetTableTitle(after[c].table, list);
    if (figures.empty() || figures.back().name != title) {
      figures.push_back({title, before[c].largest, after[c].largest, true, after[c].name});
      continue;
    }
    form::BalanceFigure& figure = figures.back();
    figure.dealt = std::max(figure.dealt, before[c].largest);
    if (after[c].largest > figure.refined) {
      figure.refined = after[c].largest;
      figure.column = after[c].name;
    }
  }
  return figures;
}

}  // namespace

WorkStudents ReadWorkStudents(host::Application& app, host::Worksheet& work, const WorkTable& table,
                              const RefineQuotas& quotas) {
  WorkStudents students;
  StudentList& list = students.list;
  const int32_t rowCount = table.rowCount;

  // Class numbers as dealt, in ascending order as class indices.
  std::vector<double> labels;
  for (int32_t row = 2; row <= rowCount; ++row) labels.push_back(work.CellValue(row, 1).ToDouble());
  students.classLabels = labels;
  std::sort(students.classLabels.begin(), students.classLabels.end());
  students.classLabels.erase(std::unique(students.classLabels.begin(), students.classLabels.end()),
                             students.classLabels.end());
  for (double label : labels) {
    list.classOf.push_back(static_cast<int32_t>(
        std::lower_bound(students.classLabels.begin(), students.classLabels.end(), label) -
        students.classLabels.begin()));
  }
  list.classCount = static_cast<int32_t>(students.classLabels.size());
  for (double label : students.classLabels) {
    list.comparedClasses.push_back(label >= 1 && label <= quotas.classCount ? 1 : 0);
  }

  list.total = ReadMarks(work, table.totalColumn, rowCount);
  for (const auto& [name, column] : SubjectColumns(app, work, table.totalColumn)) {
    list.subjectNames.push_back(name);
    list.subjects.push_back(ReadMarks(work, column, rowCount));
  }
  const std::pair<const char*, int32_t> categories[] = {
      {"性别", table.sexColumn}, {"住校", table.boardingColumn}, {"应届", table.currentColumn}};
  for (const auto& [name, column] : categories) {
    if (column == 0) continue;
    list.categoryNames.push_back(name);
    list.categories.push_back(CodeValues(ReadTexts(work, column, rowCount)));
    list.categoryRanks.push_back(SortRanks(work, column, rowCount, list.categories.back()));
  }
  for (const auto& [name, column] : table.balanceColumns) {
    // A category named again is balanced once.
    const bool category = std::find(list.categoryNames.begin(), list.categoryNames.end(), name) != list.categoryNames.end();
    if (column == 0 || category) continue;
    std::vector<std::string> values;
    std::vector<int32_t> codes = CodeValues(ReadTexts(work, column, rowCount), &values);
    if (values.empty()) continue;  // a column of empty cells has nothing to spread
    list.balanceNames.push_back(name);
    list.balanceValues.push_back(std::move(values));
    list.balanceColumns.push_back(std::move(codes));
  }
  list.markClassCount = quotas.classCount;
  list.excellentQuota = quotas.excellentQuota;
  list.passQuota = quotas.passQuota;

  const int32_t presetColumn = sheets::FindHeaderColumn(work, "预设班");
  list.fixed.assign(list.classOf.size(), 0);
  if (presetColumn > 0) {
    for (int32_t row = 2; row <= rowCount; ++row) {
      const host::Value preset = work.CellValue(row, presetColumn);
      list.fixed[static_cast<size_t>(row - 2)] = !preset.IsEmpty() && preset.ToLong() > 0 ? 1 : 0;
    }
  }
  list.apartGroups = GroupsOf(ReadTexts(work, sheets::FindHeaderColumn(work, "分开"), rowCount), &students.apartValues);
  list.togetherGroups =
      GroupsOf(ReadTexts(work, sheets::FindHeaderColumn(work, "同班"), rowCount), &students.togetherValues);
  students.names = ReadTexts(work, sheets::FindHeaderColumn(work, "姓名"), rowCount);
  list.sameNameGroups = GroupsOf(students.names, nullptr);
  return students;
}

namespace {

// Tells a progress sink the largest class-mean difference of the total in
// the best classes found so far, at most every kEvery, from one thread at a
// time (a flag, not a mutex: the Windows server's compiler has no
// std::mutex): an offer costs a flag and a clock reading unless a figure is due.
class FigureReporter {
 public:
  FigureReporter(host::ProgressSink& sink, const StudentList& list) : sink_(&sink), list_(&list) {}
  void Offer(const std::vector<int32_t>& classOf) {
    if (busy_.exchange(true, std::memory_order_acquire)) return;
    const auto now = std::chrono::steady_clock::now();
    if (!told_ || now - last_ >= kEvery) {
      told_ = true;
      last_ = now;
      const std::vector<SpreadFigure> figures = LargestDifferences(*list_, classOf);
      if (!figures.empty()) sink_->Figure(figures.front().name, figures.front().largest);
    }
    busy_.store(false, std::memory_order_release);
  }

 private:
  static constexpr std::chrono::milliseconds kEvery{250};
  host::ProgressSink* sink_;
  const StudentList* list_;
  std::atomic<bool> busy_{false};
  bool told_ = false;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace

RefineOutcome RefineClasses(host::Application& app, host::Worksheet& work, const WorkTable& table,
                            const RefineQuotas& quotas) {
  // The seed continues the division's random sequence, so --seed repeats the refinement too.
  const uint64_t seed = static_cast<uint64_t>(app.Rnd() * 9007199254740992.0);
  const WorkStudents students = ReadWorkStudents(app, work, table, quotas);
  BalanceProblem problem = BuildBalanceProblem(students.list, seed);
  std::optional<FigureReporter> reporter;
  if (host::ProgressSink* sink = app.Services().Progress()) {
    reporter.emplace(*sink, students.list);
    problem.onProgress = [&reporter](const std::vector<int32_t>& classOf) { reporter->Offer(classOf); };
  }
  const BalanceResult result = SolveBalance(problem);
  RefineOutcome outcome;
  if (!result.problems.empty()) {
    ShowProblems(app, students, result.problems);
    return outcome;
  }
  for (size_t s = 0; s < result.classOf.size(); ++s) {
    if (result.classOf[s] == students.list.classOf[s]) continue;
    work.SetCellValue(static_cast<int32_t>(s) + 2, 1, students.classLabels[static_cast<size_t>(result.classOf[s])]);
  }
  outcome.completed = true;
  for (const ConstraintProblem& unmet : result.unmet) outcome.notes.push_back(DescribeProblem(students, unmet));
  if (result.sheetAbove) {
    outcome.notes.push_back("优化后统计表有的“最大差”仍比蛇形分班的大：要满足“分开”“同班”，没能调回来。");
  } else if (result.sheetFallback) {
    outcome.notes.push_back("优化后统计表有的“最大差”比蛇形分班的大，且调不回来，所以只按“分开”“同班”调整了蛇形分班的结果。");
  }
  outcome.figures = SheetTableFigures(students.list, result.classOf);
  const std::vector<SpreadFigure> dealt = LargestDifferences(students.list, students.list.classOf);
  const std::vector<SpreadFigure> refined = LargestDifferences(students.list, result.classOf);
  const std::vector<BalanceColumnFigure> columnsDealt = BalanceColumnDifferences(students.list, students.list.classOf);
  const std::vector<BalanceColumnFigure> columnsRefined = BalanceColumnDifferences(students.list, result.classOf);
  for (size_t f = 0; f < columnsDealt.size(); ++f) {
    outcome.figures.push_back({columnsRefined[f].name + "人数统计", columnsDealt[f].largest,
                               columnsRefined[f].largest, true, columnsRefined[f].value});
  }
  for (size_t f = 0; f < dealt.size(); ++f) {
    outcome.figures.push_back({dealt[f].name, dealt[f].largest, refined[f].largest, false, ""});
  }
  return outcome;
}

void WriteRefinementNotes(host::Worksheet& statistics, const std::vector<std::string>& notes) {
  constexpr int32_t kRed = 255;
  int32_t row = statistics.UsedRect().row2 + 1;
  for (const std::string& note : notes) {
    const host::Range cell = statistics.Cells(++row, 1);
    cell.SetValue(host::Value(note));
    cell.SetHorizontalAlignment(host::kAlignLeft);
    cell.GetFont().SetColor(kRed);
  }
}

}  // namespace fenban::division
