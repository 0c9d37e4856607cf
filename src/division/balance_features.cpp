#include "division/balance_features.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "division/balance_caps.h"
#include "division/sheet_figures.h"

namespace fenban::division {
namespace {

// The largest differences of class means a teacher should see; every mean
// feature is measured in units of its own.
constexpr double kTotalMeanTarget = 0.1;
constexpr double kSubjectMeanTarget = 0.5;
// The spread aims a little inside its one point: in 30 classes of 50 the
// largest difference otherwise ends near the point itself.
constexpr double kStandardDeviationTarget = 0.9;
// In classes of 50, class means within 0.2 of a target either side of the
// year's cost only their square; beyond, the excess costs 80 times its
// square, so the search lowers the largest differences first. Larger classes
// can come much closer, and the free band narrows in proportion.
constexpr double kAllowance = 0.2;
constexpr double kMeanExcess = 80;
// Within the band a mean's square weighs kMeanInBand in classes of 50 or
// fewer, falling with the square of the class size to 1 in classes of 160
// and more (where the band is narrow anyway). With a weight of 1 lists with
// few features (five subjects, two categories) ended with the subjects as
// far apart as a plain exchange method left them (0.24), the search having
// spent the room on the excellent/pass counts; with 10 they end at 0.21, the
// counts about one student further apart, and lists of nine subjects keep
// their figures (16 generated years each).
constexpr double kMeanInBand = 10;
double MeanInBandWeight(double perClass) {
  const double relative = 50 / perClass;
  return std::max(1.0, kMeanInBand * std::min(1.0, relative * relative));
}
// Category counts: a class outside the whole numbers next to the year's
// count per class costs 20 per student squared, and the search takes no
// swap that puts more students outside (they are strict).
constexpr double kCategoryWeight = 0.2;
constexpr double kCategoryExcess = 20;
// Excellent and pass counts (two per mark) are many and coarse. In classes
// of 50 they cost only lightly, since holding twenty counts exact would cost
// the subject means far more than it gains (on generated lists of 450 to
// 1,500 students in classes of 50, twice this weight left the worst subject
// 0.02 to 0.04 points further apart); with more students per class there is
// room for both, and their weight grows to that of the categories.
constexpr double kMarkCountWeight = 0.02;
double MarkCountExcess(double perClass) {
  const double relative = perClass / 50;
  return std::min(kCategoryExcess, relative * relative);
}

// The averages of each class's best students by total, as the statistics
// sheet shows them, are far coarser than the whole-class means (20 students
// instead of 50): two points are their unit, and they weigh like the
// whole-class means. One point cost the whole-class subjects 0.1 more
// (bench/RESULTS.md).
constexpr double kTopMeanTarget = 2.0;
// The total-score bands: counts weighed like the subjects' in the band, and
// 4 beyond it whatever the class size; the subjects' excess (16 in classes of
// 200) pushed the spread of the total apart, theirs (1 in classes of 50) left
// bands wider than the deal's. Lists with more bands than kMostBands (classes
// of more than 200) hold every second (third, ...) band only, as each band
// costs every swap's evaluation as a subject does.
constexpr double kBandExcess = 4;
constexpr int64_t kMostBands = 40;

double MeanOf(const std::vector<double>& marks) {
  double sum = 0;
  int64_t count = 0;
  for (double mark : marks) {
    if (std::isnan(mark)) continue;
    sum += mark;
    ++count;
  }
  return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

// Every mark, the total first, with its name.
std::vector<const std::vector<double>*> AllMarks(const StudentList& list) {
  std::vector<const std::vector<double>*> marks{&list.total};
  for (const std::vector<double>& subject : list.subjects) marks.push_back(&subject);
  return marks;
}

int32_t ValueCount(const std::vector<int32_t>& codes) {
  int32_t count = 0;
  for (int32_t code : codes) count = std::max(count, code + 1);
  return count;
}

// Per student: 1 when the mark reaches the mark of the given rank.
std::vector<uint8_t> Reaches(const std::vector<double>& marks, int64_t rank) {
  const double mark = RankMark(marks, rank);
  std::vector<uint8_t> reached(marks.size(), 0);
  for (size_t s = 0; s < marks.size(); ++s) reached[s] = !std::isnan(marks[s]) && marks[s] >= mark ? 1 : 0;
  return reached;
}

double Range(const std::vector<double>& perClass, const std::vector<int32_t>& sizes) {
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (size_t c = 0; c < perClass.size(); ++c) {
    if (sizes[c] == 0 || std::isnan(perClass[c])) continue;
    low = std::min(low, perClass[c]);
    high = std::max(high, perClass[c]);
  }
  return high >= low ? high - low : 0.0;
}

// Class sizes, with the classes that are not compared as empty.
std::vector<int32_t> ComparedSizes(const StudentList& list, const std::vector<int32_t>& classOf) {
  const size_t k = static_cast<size_t>(list.classCount);
  std::vector<int32_t> sizes(k, 0);
  for (int32_t c : classOf) ++sizes[static_cast<size_t>(c)];
  for (size_t c = 0; c < list.comparedClasses.size() && c < k; ++c) {
    if (!list.comparedClasses[c]) sizes[c] = 0;
  }
  return sizes;
}

}  // namespace

std::vector<int32_t> RankByTotal(const StudentList& list) {
  std::vector<int32_t> order(list.total.size());
  for (size_t s = 0; s < order.size(); ++s) order[s] = static_cast<int32_t>(s);
  auto before = [](double x, double y) {  // descending, blanks last
    if (std::isnan(x) || std::isnan(y)) return !std::isnan(x) && std::isnan(y);
    return x > y;
  };
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    const size_t x = static_cast<size_t>(a), y = static_cast<size_t>(b);
    if (before(list.total[x], list.total[y])) return true;
    if (before(list.total[y], list.total[x])) return false;
    for (auto subject = list.subjects.rbegin(); subject != list.subjects.rend(); ++subject) {
      if (before((*subject)[x], (*subject)[y])) return true;
      if (before((*subject)[y], (*subject)[x])) return false;
    }
    return false;
  });
  return order;
}

int64_t TotalBandCount(int64_t students, int32_t markClassCount) {
  const int64_t bands = (students + 1) / (std::max<int64_t>(markClassCount, 1) * 5) - 1;
  return bands < 1 ? 1 : (bands > 200 ? 150 : bands);
}

double RankMark(const std::vector<double>& marks, int64_t rank) {
  std::vector<double> numbers;
  for (double mark : marks) {
    if (!std::isnan(mark)) numbers.push_back(mark);
  }
  if (rank < 1 || rank > static_cast<int64_t>(numbers.size())) return 0.0;
  std::nth_element(numbers.begin(), numbers.begin() + (rank - 1), numbers.end(), std::greater<>());
  return std::floor(numbers[static_cast<size_t>(rank - 1)]);
}

BalanceProblem BuildBalanceProblem(const StudentList& list, uint64_t seed) {
  BalanceProblem problem;
  const size_t n = list.classOf.size();
  problem.classCount = list.classCount;
  problem.classOf = list.classOf;
  problem.fixed = list.fixed;
  problem.apartGroups = list.apartGroups;
  problem.togetherGroups = list.togetherGroups;
  problem.sameNameGroups = list.sameNameGroups;
  problem.seed = seed;
  problem.sheetList = &list;

  std::vector<std::vector<double>> columns;  // [feature][student]
  std::vector<FeatureShape> shapes;
  const double perClass = list.classCount > 0 ? static_cast<double>(n) / list.classCount : 1.0;
  const double allowance = kAllowance * std::min(1.0, 50 / perClass);
  // A mean feature in units of its target: a class deviation of 1 is the
  // whole difference a teacher should see at most.
  auto addMean = [&](std::vector<double> column, double target, double weight, double excessWeight) {
    for (double& x : column) x /= target;
    columns.push_back(std::move(column));
    shapes.push_back(FeatureShape{false, weight, allowance, excessWeight});
  };
  auto addMarks = [&](const std::vector<double>& marks, double target, double weight, double excessWeight) {
    const double mean = MeanOf(marks);
    std::vector<double> column(n);
    for (size_t s = 0; s < n; ++s) column[s] = std::isnan(marks[s]) ? mean : marks[s];
    addMean(std::move(column), target, weight, excessWeight);
  };
  auto addCount = [&](std::vector<double> column, double weight, double excessWeight, bool strict,
                      bool capped = false) {
    columns.push_back(std::move(column));
    shapes.push_back(FeatureShape{true, weight, 0.0, excessWeight, strict, 0, capped});
  };
  const double inBand = MeanInBandWeight(perClass);
  addMarks(list.total, kTotalMeanTarget, inBand, kMeanExcess);
  for (const std::vector<double>& subject : list.subjects) addMarks(subject, kSubjectMeanTarget, inBand, kMeanExcess);

  // The spread of the total: a class's mean squared distance from the year's
  // mean is its variance once the class means agree; a difference of one
  // point of standard deviation s is about 2·s points of variance.
  {
    const double mean = MeanOf(list.total);
    double variance = 0;
    int64_t count = 0;
    for (double mark : list.total) {
      if (std::isnan(mark)) continue;
      variance += (mark - mean) * (mark - mean);
      ++count;
    }
    const double sd = count > 0 ? std::sqrt(variance / static_cast<double>(count)) : 0.0;
    std::vector<double> column(n);
    for (size_t s = 0; s < n; ++s) {
      const double mark = std::isnan(list.total[s]) ? mean : list.total[s];
      column[s] = (mark - mean) * (mark - mean);
    }
    addMean(std::move(column), 2 * std::max(sd, 1.0) * kStandardDeviationTarget, inBand, kMeanExcess);
  }

  // Every value of a category, and of a "均衡列", within one student of its
  // share in each class.
  auto addCategory = [&](const std::vector<int32_t>& codes) {
    const int32_t values = ValueCount(codes);
    for (int32_t value = 0; value < values; ++value) {
      std::vector<double> column(n);
      for (size_t s = 0; s < n; ++s) column[s] = codes[s] == value ? 1.0 : 0.0;
      addCount(std::move(column), kCategoryWeight, kCategoryExcess, true);
    }
  };
  for (const std::vector<int32_t>& codes : list.categories) addCategory(codes);
  for (const std::vector<int32_t>& codes : list.balanceColumns) addCategory(codes);

  const int64_t excellentRank = int64_t{list.markClassCount} * list.excellentQuota;
  const int64_t passRank = int64_t{list.markClassCount} * list.passQuota;
  const double markExcess = MarkCountExcess(perClass);
  // The year's top students by total are what parents compare first, and
  // the deal shares them out almost evenly: they are held like the
  // categories. The subjects' counts weigh lightly, as above.
  for (const std::vector<double>* marks : AllMarks(list)) {
    for (int64_t rank : {excellentRank, passRank}) {
      const std::vector<uint8_t> reached = Reaches(*marks, rank);
      std::vector<double> column(reached.begin(), reached.end());
      if (marks == &list.total) {
        addCount(std::move(column), kCategoryWeight, kCategoryExcess, true);
      } else {
        addCount(std::move(column), kMarkCountWeight, markExcess, false, true);
      }
    }
  }

  // The band features count as the sheet's capped columns only where every
  // band is one (see kMostBands). Lists with more bands (classes of more than
  // about 200) go to the search within swap groups (balance_large.h), which
  // never changes a band count and leaves these features out.
  const bool bandsCapped = TotalBandCount(static_cast<int64_t>(n), list.markClassCount) <= kMostBands;
  // The statistics sheet's total-score bands: students at or above the
  // total of every 5 × classes-th student (see kBandExcess).
  {
    const int64_t markClasses = std::max(list.markClassCount, 1);
    const int64_t bands = TotalBandCount(static_cast<int64_t>(n), list.markClassCount);
    const int64_t step = (bands + kMostBands - 1) / kMostBands;
    for (int64_t g = step; g <= bands; g += step) {
      const std::vector<uint8_t> reached = Reaches(list.total, g * markClasses * 5);
      addCount(std::vector<double>(reached.begin(), reached.end()), kMarkCountWeight, kBandExcess, false, bandsCapped);
    }
  }

  // The averages over each class's best totals: a class's best `quota`
  // students are its members among the year's best classes × quota, in the
  // sheet's order, when it holds `quota` of them; their count per class is
  // strict, like the categories, and these means are taken over them
  // (blanks as 0, as the sheet adds them). Ties of the total fall to the
  // subjects from the last back to the first, as on the statistics sheet.
  {
    const std::vector<int32_t> order = RankByTotal(list);
    std::vector<int32_t> quotas;
    for (int32_t quota : {list.excellentQuota, list.passQuota}) {
      if (quota > 0 && std::find(quotas.begin(), quotas.end(), quota) == quotas.end()) quotas.push_back(quota);
    }
    for (int32_t quota : quotas) {
      const size_t best = static_cast<size_t>(std::min<int64_t>(int64_t{list.markClassCount} * quota, n));
      std::vector<uint8_t> among(n, 0);
      for (size_t r = 0; r < best; ++r) among[static_cast<size_t>(order[r])] = 1;
      addCount(std::vector<double>(among.begin(), among.end()), kCategoryWeight, kCategoryExcess, true);
      // The students ranked around the last of the year's best: a class with
      // one of the best too few averages one of them instead (one too many:
      // drops its weakest), so measured from their mean a class's sum over its
      // best is its average's distance from that mean, whatever that count.
      const size_t around = std::max<size_t>(1, static_cast<size_t>(list.markClassCount));
      const size_t from = best > around ? best - around : 0, to = std::min(n, best + around);
      for (const std::vector<double>* marks : AllMarks(list)) {
        double edge = 0;
        for (size_t r = from; r < to; ++r) {
          const double mark = (*marks)[static_cast<size_t>(order[r])];
          edge += std::isnan(mark) ? 0.0 : mark;
        }
        edge /= static_cast<double>(std::max<size_t>(to - from, 1));
        std::vector<double> column(n, 0.0);
        for (size_t s = 0; s < n; ++s) {
          if (among[s]) column[s] = ((std::isnan((*marks)[s]) ? 0.0 : (*marks)[s]) - edge) / kTopMeanTarget;
        }
        columns.push_back(std::move(column));
        shapes.push_back(FeatureShape{false, inBand, allowance, kMeanExcess, false, quota, true});
      }
    }
  }

  // A feature equal for every student cannot differ between classes.
  std::vector<size_t> kept;
  for (size_t j = 0; j < columns.size(); ++j) {
    const std::vector<double>& column = columns[j];
    if (!std::all_of(column.begin(), column.end(), [&](double x) { return x == column.front(); })) kept.push_back(j);
  }
  problem.featureCount = static_cast<int32_t>(kept.size());
  problem.features.resize(n * kept.size());
  for (size_t j = 0; j < kept.size(); ++j) {
    problem.shapes.push_back(shapes[kept[j]]);
    for (size_t s = 0; s < n; ++s) problem.features[s * kept.size() + j] = columns[kept[j]][s];
  }
  problem.capped = SheetCaps(list);
  RaiseCapsToDeal(problem);
  problem.score.resize(n);
  const double meanTotal = MeanOf(list.total);
  for (size_t s = 0; s < n; ++s) problem.score[s] = std::isnan(list.total[s]) ? meanTotal : list.total[s];
  return problem;
}

std::vector<SpreadFigure> LargestDifferences(const StudentList& list, const std::vector<int32_t>& classOf) {
  const size_t k = static_cast<size_t>(list.classCount);
  const std::vector<int32_t> sizes = ComparedSizes(list, classOf);
  std::vector<SpreadFigure> figures;

  auto meanRange = [&](const std::vector<double>& marks) {
    std::vector<double> sum(k, 0.0);
    std::vector<int32_t> count(k, 0);
    for (size_t s = 0; s < marks.size(); ++s) {
      if (std::isnan(marks[s])) continue;
      sum[static_cast<size_t>(classOf[s])] += marks[s];
      ++count[static_cast<size_t>(classOf[s])];
    }
    std::vector<double> means(k, std::numeric_limits<double>::quiet_NaN());
    for (size_t c = 0; c < k; ++c) {
      if (count[c] > 0) means[c] = sum[c] / count[c];
    }
    return Range(means, sizes);
  };
  auto countRange = [&](const std::vector<uint8_t>& member) {
    std::vector<double> counts(k, 0.0);
    for (size_t s = 0; s < member.size(); ++s) counts[static_cast<size_t>(classOf[s])] += member[s];
    return Range(counts, sizes);
  };

  figures.push_back({"总分", meanRange(list.total)});
  for (size_t j = 0; j < list.subjects.size(); ++j) figures.push_back({list.subjectNames[j], meanRange(list.subjects[j])});
  for (size_t j = 0; j < list.categories.size(); ++j) {
    double largest = 0;
    const int32_t values = ValueCount(list.categories[j]);
    for (int32_t value = 0; value < values; ++value) {
      std::vector<uint8_t> member(classOf.size());
      for (size_t s = 0; s < member.size(); ++s) member[s] = list.categories[j][s] == value ? 1 : 0;
      largest = std::max(largest, countRange(member));
    }
    figures.push_back({list.categoryNames[j], largest});
  }

  {
    std::vector<double> sum(k, 0.0), square(k, 0.0);
    std::vector<int32_t> count(k, 0);
    for (size_t s = 0; s < classOf.size(); ++s) {
      if (std::isnan(list.total[s])) continue;
      const size_t c = static_cast<size_t>(classOf[s]);
      sum[c] += list.total[s];
      square[c] += list.total[s] * list.total[s];
      ++count[c];
    }
    std::vector<double> sd(k, std::numeric_limits<double>::quiet_NaN());
    for (size_t c = 0; c < k; ++c) {
      if (count[c] == 0) continue;
      const double mean = sum[c] / count[c];
      sd[c] = std::sqrt(std::max(0.0, square[c] / count[c] - mean * mean));
    }
    figures.push_back({"总分标准差", Range(sd, sizes)});
  }

  const int64_t excellentRank = int64_t{list.markClassCount} * list.excellentQuota;
  const int64_t passRank = int64_t{list.markClassCount} * list.passQuota;
  // The total's own counts, then the largest over every mark (the total first).
  const double totalExcellent = countRange(Reaches(list.total, excellentRank));
  const double totalPass = countRange(Reaches(list.total, passRank));
  double excellent = totalExcellent, pass = totalPass;
  for (const std::vector<double>& subject : list.subjects) {
    excellent = std::max(excellent, countRange(Reaches(subject, excellentRank)));
    pass = std::max(pass, countRange(Reaches(subject, passRank)));
  }
  figures.push_back({"优秀人数", excellent});
  figures.push_back({"及格人数", pass});
  figures.push_back({"总分优秀人数", totalExcellent});
  figures.push_back({"总分及格人数", totalPass});
  return figures;
}

std::vector<BalanceColumnFigure> BalanceColumnDifferences(const StudentList& list,
                                                         const std::vector<int32_t>& classOf) {
  const size_t k = static_cast<size_t>(list.classCount);
  const std::vector<int32_t> sizes = ComparedSizes(list, classOf);
  std::vector<BalanceColumnFigure> figures;
  for (size_t j = 0; j < list.balanceColumns.size(); ++j) {
    const std::vector<int32_t>& codes = list.balanceColumns[j];
    const int32_t values = ValueCount(codes);
    // counts[value * k + class]
    std::vector<double> counts(static_cast<size_t>(values) * k, 0.0);
    for (size_t s = 0; s < codes.size(); ++s) {
      if (codes[s] >= 0) counts[static_cast<size_t>(codes[s]) * k + static_cast<size_t>(classOf[s])] += 1;
    }
    BalanceColumnFigure figure{list.balanceNames[j], 0.0, ""};
    for (int32_t value = 0; value < values; ++value) {
      const auto first = counts.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(value) * k);
      const double range = Range(std::vector<double>(first, first + static_cast<std::ptrdiff_t>(k)), sizes);
      if (range > figure.largest || figure.value.empty()) {
        figure.largest = range;
        figure.value = list.balanceValues[j][static_cast<size_t>(value)];
      }
    }
    figures.push_back(figure);
  }
  return figures;
}

}  // namespace fenban::division
