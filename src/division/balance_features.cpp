#include "division/balance_features.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace fenban::division {
namespace {

// The differences of class means each feature may show; the search weighs
// every feature by the inverse of its own, so a feature at its limit counts
// as much as any other at its limit.
// The limits are half the figures a teacher should see at most (a quarter
// for the standard deviation, which otherwise stays above its figure on
// small lists), the counts of top students twice as loose as the category
// counts: these are the weights that gave the best figures together on
// generated lists.
constexpr double kTotalMeanLimit = 0.05;
constexpr double kSubjectMeanLimit = 0.25;
constexpr double kStandardDeviationLimit = 0.25;
constexpr double kCountLimit = 0.5;      // category counts, in students per class
constexpr double kMarkCountLimit = 1.0;  // excellent and pass counts

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

}  // namespace

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
  const double perClass = list.classCount > 0 ? static_cast<double>(n) / list.classCount : 1.0;
  const double countLimit = kCountLimit / std::max(1.0, perClass);
  const double markCountLimit = kMarkCountLimit / std::max(1.0, perClass);

  std::vector<std::vector<double>> columns;  // [feature][student], scaled
  auto addMarks = [&](const std::vector<double>& marks, double limit) {
    const double mean = MeanOf(marks);
    std::vector<double> column(n);
    for (size_t s = 0; s < n; ++s) column[s] = (std::isnan(marks[s]) ? mean : marks[s]) / limit;
    columns.push_back(std::move(column));
  };
  addMarks(list.total, kTotalMeanLimit);
  for (const std::vector<double>& subject : list.subjects) addMarks(subject, kSubjectMeanLimit);

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
    const double limit = 2 * std::max(sd, 1.0) * kStandardDeviationLimit;
    std::vector<double> column(n);
    for (size_t s = 0; s < n; ++s) {
      const double mark = std::isnan(list.total[s]) ? mean : list.total[s];
      column[s] = (mark - mean) * (mark - mean) / limit;
    }
    columns.push_back(std::move(column));
  }

  for (const std::vector<int32_t>& codes : list.categories) {
    const int32_t values = ValueCount(codes);
    for (int32_t value = 0; value < values; ++value) {
      std::vector<double> column(n);
      for (size_t s = 0; s < n; ++s) column[s] = codes[s] == value ? 1.0 / countLimit : 0.0;
      columns.push_back(std::move(column));
    }
  }

  const int64_t excellentRank = int64_t{list.markClassCount} * list.excellentQuota;
  const int64_t passRank = int64_t{list.markClassCount} * list.passQuota;
  for (const std::vector<double>* marks : AllMarks(list)) {
    for (int64_t rank : {excellentRank, passRank}) {
      const std::vector<uint8_t> reached = Reaches(*marks, rank);
      std::vector<double> column(n);
      for (size_t s = 0; s < n; ++s) column[s] = reached[s] / markCountLimit;
      columns.push_back(std::move(column));
    }
  }

  // A feature equal for every student cannot differ between classes.
  std::erase_if(columns, [](const std::vector<double>& column) {
    return std::all_of(column.begin(), column.end(), [&](double x) { return x == column.front(); });
  });
  problem.featureCount = static_cast<int32_t>(columns.size());
  problem.features.resize(n * columns.size());
  for (size_t j = 0; j < columns.size(); ++j) {
    for (size_t s = 0; s < n; ++s) problem.features[s * columns.size() + j] = columns[j][s];
  }
  problem.score.resize(n);
  const double meanTotal = MeanOf(list.total);
  for (size_t s = 0; s < n; ++s) problem.score[s] = std::isnan(list.total[s]) ? meanTotal : list.total[s];
  return problem;
}

std::vector<SpreadFigure> LargestDifferences(const StudentList& list, const std::vector<int32_t>& classOf) {
  const size_t k = static_cast<size_t>(list.classCount);
  // Classes that are not compared count as empty.
  std::vector<int32_t> sizes(k, 0);
  for (int32_t c : classOf) ++sizes[static_cast<size_t>(c)];
  for (size_t c = 0; c < list.comparedClasses.size() && c < k; ++c) {
    if (!list.comparedClasses[c]) sizes[c] = 0;
  }
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
  double excellent = 0, pass = 0;
  for (const std::vector<double>* marks : AllMarks(list)) {
    excellent = std::max(excellent, countRange(Reaches(*marks, excellentRank)));
    pass = std::max(pass, countRange(Reaches(*marks, passRank)));
  }
  figures.push_back({"优秀人数", excellent});
  figures.push_back({"及格人数", pass});
  return figures;
}

}  // namespace fenban::division
