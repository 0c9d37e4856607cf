#include "division/sheet_figures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fenban::division {
namespace {

// The sheet's class columns: compared classes only.
struct Classes {
  std::vector<uint8_t> shown;  // per class index
  bool Shown(int32_t c) const { return shown[static_cast<size_t>(c)] != 0; }
};

Classes ShownClasses(const StudentList& list) {
  Classes classes;
  classes.shown.assign(static_cast<size_t>(list.classCount), 1);
  for (size_t c = 0; c < list.comparedClasses.size() && c < classes.shown.size(); ++c) {
    classes.shown[c] = list.comparedClasses[c];
  }
  return classes;
}

double Largest(const std::vector<double>& perClass, const Classes& classes) {
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (size_t c = 0; c < perClass.size(); ++c) {
    if (!classes.shown[c]) continue;
    low = std::min(low, perClass[c]);
    high = std::max(high, perClass[c]);
  }
  return high >= low ? high - low : 0.0;
}

// Per class: students with a number at or above the mark.
std::vector<double> CountsAtLeast(const std::vector<double>& marks, const std::vector<int32_t>& classOf, double mark,
                                  size_t k) {
  std::vector<double> counts(k, 0.0);
  for (size_t s = 0; s < marks.size(); ++s) {
    if (!std::isnan(marks[s]) && marks[s] >= mark) counts[static_cast<size_t>(classOf[s])] += 1;
  }
  return counts;
}

// The value the category column counts: the first in sort order among the
// first shown class's students (numbers, then texts, empty cells last).
int32_t CountedCode(const StudentList& list, size_t category, const std::vector<int32_t>& classOf,
                    const Classes& classes) {
  int32_t first = -1;
  for (size_t c = 0; c < classes.shown.size(); ++c) {
    if (classes.shown[c]) {
      first = static_cast<int32_t>(c);
      break;
    }
  }
  const std::vector<int32_t>& codes = list.categories[category];
  const std::vector<int32_t>* ranks = category < list.categoryRanks.size() ? &list.categoryRanks[category] : nullptr;
  auto rankOf = [&](int32_t code) -> int64_t {
    if (code < 0) return std::numeric_limits<int64_t>::max();
    return ranks != nullptr && static_cast<size_t>(code) < ranks->size() ? (*ranks)[static_cast<size_t>(code)] : code;
  };
  int32_t counted = -1;
  bool any = false;
  for (size_t s = 0; s < codes.size(); ++s) {
    if (classOf[s] != first) continue;
    if (!any || rankOf(codes[s]) < rankOf(counted)) counted = codes[s];
    any = true;
  }
  return counted;
}

// Per class, its students best total first (see RankByTotal).
std::vector<std::vector<int32_t>> ClassesByTotal(const StudentList& list, const std::vector<int32_t>& classOf) {
  std::vector<std::vector<int32_t>> members(static_cast<size_t>(list.classCount));
  for (int32_t s : RankByTotal(list)) members[static_cast<size_t>(classOf[static_cast<size_t>(s)])].push_back(s);
  return members;
}

// Per class: the sum of the marks of its `quota` best totals (blanks as 0)
// over the students taken.
std::vector<double> TopAverages(const std::vector<double>& marks, const std::vector<std::vector<int32_t>>& members,
                                int32_t quota) {
  std::vector<double> averages(members.size(), 0.0);
  for (size_t c = 0; c < members.size(); ++c) {
    const size_t taken = std::min(members[c].size(), static_cast<size_t>(std::max(quota, 0)));
    double sum = 0;
    for (size_t i = 0; i < taken; ++i) {
      const double mark = marks[static_cast<size_t>(members[c][i])];
      if (!std::isnan(mark)) sum += mark;
    }
    averages[c] = taken > 0 ? sum / static_cast<double>(taken) : 0.0;
  }
  return averages;
}

std::string WholeText(double number) { return std::to_string(static_cast<long long>(number)); }

}  // namespace

CappedColumns SheetCaps(const StudentList& list) {
  const size_t n = list.classOf.size();
  const size_t k = static_cast<size_t>(list.classCount);
  const Classes classes = ShownClasses(list);
  const std::vector<SheetColumn> dealt = SheetDifferences(list, list.classOf);
  CappedColumns capped;
  capped.shown = classes.shown;
  std::vector<std::vector<std::pair<int32_t, double>>> entries(n);  // per student: (column, value)
  auto addColumn = [&](double cap, int32_t quota) {
    capped.cap.push_back(cap);
    capped.quota.push_back(quota);
    return static_cast<int32_t>(capped.cap.size() - 1);
  };
  size_t sheetColumn = 1;  // past "总人数"

  for (const std::vector<int32_t>& codes : list.categories) {
    int32_t values = 0;
    for (int32_t code : codes) values = std::max(values, code + 1);
    for (int32_t value = 0; value < values; ++value) {
      std::vector<double> counts(k, 0.0);
      for (size_t s = 0; s < n; ++s) counts[static_cast<size_t>(list.classOf[s])] += codes[s] == value ? 1 : 0;
      const int32_t column = addColumn(Largest(counts, classes), 0);
      for (size_t s = 0; s < n; ++s) {
        if (codes[s] == value) entries[s].emplace_back(column, 1.0);
      }
    }
    ++sheetColumn;
  }

  const int64_t markClasses = std::max(list.markClassCount, 1);
  const int64_t bands = TotalBandCount(static_cast<int64_t>(n), list.markClassCount);
  capped.ladderFirst = static_cast<int32_t>(capped.cap.size());
  capped.ladderSteps = static_cast<int32_t>(bands);
  capped.ladderFrom.assign(n, 0);
  for (int64_t g = 1; g <= bands; ++g) {
    addColumn(dealt[sheetColumn++].largest, 0);
    const double score = RankMark(list.total, g * markClasses * 5);
    // Band scores fall as g rises: the bands a student misses come first.
    for (size_t s = 0; s < n; ++s) {
      if (std::isnan(list.total[s]) || list.total[s] < score) capped.ladderFrom[s] = static_cast<int32_t>(g);
    }
  }

  std::vector<const std::vector<double>*> marks{&list.total};
  for (const std::vector<double>& subject : list.subjects) marks.push_back(&subject);
  for (int32_t quota : {list.excellentQuota, list.passQuota}) {
    for (const std::vector<double>* column : marks) {
      const int32_t capColumn = addColumn(dealt[sheetColumn++].largest, 0);
      const double mark = RankMark(*column, markClasses * quota);
      for (size_t s = 0; s < n; ++s) {
        if (!std::isnan((*column)[s]) && (*column)[s] >= mark) entries[s].emplace_back(capColumn, 1.0);
      }
    }
  }

  const std::vector<int32_t> order = RankByTotal(list);
  for (int32_t quota : {list.excellentQuota, list.passQuota}) {
    const size_t best = static_cast<size_t>(std::clamp<int64_t>(markClasses * quota, 0, static_cast<int64_t>(n)));
    for (const std::vector<double>* column : marks) {
      const double cap = dealt[sheetColumn++].largest;
      if (quota <= 0) continue;
      const int32_t capColumn = addColumn(cap, quota);
      for (size_t r = 0; r < best; ++r) {
        const size_t s = static_cast<size_t>(order[r]);
        entries[s].emplace_back(capColumn, std::isnan((*column)[s]) ? 0.0 : (*column)[s]);
      }
    }
  }

  capped.start.assign(n + 1, 0);
  for (size_t s = 0; s < n; ++s) {
    capped.start[s + 1] = capped.start[s] + static_cast<int32_t>(entries[s].size());
    for (const auto& [column, value] : entries[s]) {
      capped.column.push_back(column);
      capped.value.push_back(value);
    }
  }
  return capped;
}

int32_t SheetCountedCode(const StudentList& list, size_t category, const std::vector<int32_t>& classOf) {
  return CountedCode(list, category, classOf, ShownClasses(list));
}

std::string SheetTableTitle(SheetTable table, const StudentList& list) {
  switch (table) {
    case SheetTable::ClassCounts:
    case SheetTable::ScoreBands:
      return "各项人数统计";
    case SheetTable::ExcellentCounts:
      return "优秀人数统计(前" + std::to_string(list.excellentQuota) + "名)";
    case SheetTable::PassCounts:
      return "及格人数统计(前" + std::to_string(list.passQuota) + "名)";
    case SheetTable::ExcellentAverages:
      return "平均分统计(前" + std::to_string(list.excellentQuota) + "名)";
    case SheetTable::PassAverages:
      return "平均分统计(前" + std::to_string(list.passQuota) + "名)";
  }
  return "";
}

std::vector<SheetColumn> SheetDifferences(const StudentList& list, const std::vector<int32_t>& classOf) {
  const size_t k = static_cast<size_t>(list.classCount);
  const Classes classes = ShownClasses(list);
  std::vector<SheetColumn> columns;

  std::vector<double> sizes(k, 0.0);
  for (int32_t c : classOf) sizes[static_cast<size_t>(c)] += 1;
  columns.push_back({SheetTable::ClassCounts, "总人数", Largest(sizes, classes)});
  for (size_t j = 0; j < list.categories.size(); ++j) {
    const int32_t counted = CountedCode(list, j, classOf, classes);
    std::vector<double> counts(k, 0.0);
    for (size_t s = 0; s < classOf.size(); ++s) {
      if (list.categories[j][s] == counted) counts[static_cast<size_t>(classOf[s])] += 1;
    }
    columns.push_back({SheetTable::ClassCounts, list.categoryNames[j], Largest(counts, classes)});
  }

  const int64_t markClasses = std::max(list.markClassCount, 1);
  const int64_t bands = TotalBandCount(static_cast<int64_t>(classOf.size()), list.markClassCount);
  for (int64_t g = 1; g <= bands; ++g) {
    const double score = RankMark(list.total, g * markClasses * 5);
    columns.push_back({SheetTable::ScoreBands, "总分≥" + WholeText(score),
                       Largest(CountsAtLeast(list.total, classOf, score, k), classes)});
  }

  std::vector<std::pair<std::string, const std::vector<double>*>> marks{{"总分", &list.total}};
  for (size_t j = 0; j < list.subjects.size(); ++j) marks.emplace_back(list.subjectNames[j], &list.subjects[j]);
  const std::pair<SheetTable, int32_t> countTables[] = {{SheetTable::ExcellentCounts, list.excellentQuota},
                                                         {SheetTable::PassCounts, list.passQuota}};
  for (const auto& [table, quota] : countTables) {
    for (const auto& [name, column] : marks) {
      const double mark = RankMark(*column, markClasses * quota);
      columns.push_back({table, name, Largest(CountsAtLeast(*column, classOf, mark, k), classes)});
    }
  }

  const std::vector<std::vector<int32_t>> members = ClassesByTotal(list, classOf);
  const std::pair<SheetTable, int32_t> averageTables[] = {{SheetTable::ExcellentAverages, list.excellentQuota},
                                                           {SheetTable::PassAverages, list.passQuota}};
  for (const auto& [table, quota] : averageTables) {
    for (const auto& [name, column] : marks) {
      columns.push_back({table, name, Largest(TopAverages(*column, members, quota), classes)});
    }
  }
  return columns;
}

}  // namespace fenban::division
