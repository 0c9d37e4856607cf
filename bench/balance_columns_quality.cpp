// A "均衡列" on generated years: a feeder-school column of 20 schools of
// Zipf-like size (the largest about a quarter of the year), independent of
// the marks, added to the dealt list. Prints, per year, the spread of the
// column (each school's largest minus smallest count per class) after the
// serpentine deal, after the refinement without the column and with it, the
// whole-class figures with and without it, and the processor time the
// column adds to the search.
// Usage: fenban_balance_columns_quality [students:classes ...]; WORLD_SEED
// chooses the generated year.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "division/balance_features.h"
#include "division/balance_search.h"
#include "refine_world.h"

namespace {

using fenban::division::StudentList;

constexpr int32_t kSchools = 20;

void AddSchools(StudentList& list, uint64_t seed) {
  std::vector<double> weights;
  for (int32_t v = 0; v < kSchools; ++v) weights.push_back(1.0 / (v + 1));
  std::discrete_distribution<int32_t> school(weights.begin(), weights.end());
  std::mt19937_64 engine(seed);
  list.balanceNames = {"毕业学校"};
  list.balanceValues.assign(1, {});
  for (int32_t v = 0; v < kSchools; ++v) list.balanceValues[0].push_back("学校" + std::to_string(v + 1));
  list.balanceColumns.assign(1, {});
  for (size_t s = 0; s < list.classOf.size(); ++s) list.balanceColumns[0].push_back(school(engine));
}

// Per school, its students per class; the largest school's range, the
// largest range and the mean range over the schools.
struct Spread {
  int32_t low = 0, high = 0;  // the largest school's smallest and largest count
  int32_t largest = 0;
  double mean = 0;
};
Spread SpreadOf(const StudentList& list, const std::vector<int32_t>& classOf) {
  const size_t k = static_cast<size_t>(list.classCount);
  std::vector<std::vector<int32_t>> counts(kSchools, std::vector<int32_t>(k, 0));
  for (size_t s = 0; s < classOf.size(); ++s) {
    ++counts[static_cast<size_t>(list.balanceColumns[0][s])][static_cast<size_t>(classOf[s])];
  }
  Spread spread;
  for (size_t v = 0; v < counts.size(); ++v) {
    const auto [low, high] = std::minmax_element(counts[v].begin(), counts[v].end());
    if (v == 0) spread = {*low, *high, 0, 0};
    spread.largest = std::max(spread.largest, *high - *low);
    spread.mean += static_cast<double>(*high - *low) / kSchools;
  }
  return spread;
}

struct Whole {
  double total = 0, subject = 0, category = 0;
};
Whole WholeOf(const StudentList& list, const std::vector<int32_t>& classOf) {
  Whole whole;
  for (const auto& figure : fenban::division::LargestDifferences(list, classOf)) {
    if (figure.name == "总分") whole.total = figure.largest;
    else if (figure.name == "性别" || figure.name == "住校" || figure.name == "应届") whole.category = std::max(whole.category, figure.largest);
    else if (std::find(list.subjectNames.begin(), list.subjectNames.end(), figure.name) != list.subjectNames.end()) {
      whole.subject = std::max(whole.subject, figure.largest);
    }
  }
  return whole;
}

struct Run {
  std::vector<int32_t> classOf;
  double cpu = 0, wall = 0;
};
Run Refine(const StudentList& list) {
  const std::clock_t start = std::clock();
  const auto wallStart = std::chrono::steady_clock::now();
  const fenban::division::BalanceResult result =
      fenban::division::SolveBalance(fenban::division::BuildBalanceProblem(list, 1));
  return {result.classOf, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count()};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::pair<int32_t, int32_t>> sizes = {{1000, 20}, {2000, 40}};
  if (argc > 1) {
    sizes.clear();
    for (int a = 1; a < argc; ++a) {
      int students = 0, classes = 0;
      if (std::sscanf(argv[a], "%d:%d", &students, &classes) == 2) sizes.emplace_back(students, classes);
    }
  }
  std::printf("| students | classes | school spread: dealt | refined without | refined with | largest school per class: dealt → with | mean spread dealt → with | total without → with | subject without → with | category without → with | CPU s without → with | wall s without → with |\n");
  std::printf("|---:|---:|---:|---:|---:|---|---|---|---|---|---|---|\n");
  for (const auto& [students, classes] : sizes) {
    fenban::bench::StudentOptions options;
    options.students = students;
    options.classCount = classes;
    options.presetPercent = 5;
    if (const char* worldSeed = std::getenv("WORLD_SEED")) options.seed = std::strtoull(worldSeed, nullptr, 10);
    fenban::bench::BenchWorld world(options);
    fenban::bench::AddGroupColumns(world, 7);
    const fenban::division::WorkStudents dealt = fenban::bench::DealWorld(world);
    StudentList with = dealt.list;
    AddSchools(with, options.seed + 1);
    StudentList without = with;
    without.balanceNames.clear();
    without.balanceValues.clear();
    without.balanceColumns.clear();

    const Run plain = Refine(without), balanced = Refine(with);
    const Spread d = SpreadOf(with, with.classOf), p = SpreadOf(with, plain.classOf), b = SpreadOf(with, balanced.classOf);
    const Whole wp = WholeOf(without, plain.classOf), wb = WholeOf(without, balanced.classOf);
    std::printf("| %d | %d | %d | %d | %d | %d–%d → %d–%d | %.2f → %.2f | %.3f → %.3f | %.3f → %.3f | %.0f → %.0f | %.2f → %.2f | %.2f → %.2f |\n",
                students, classes, d.largest, p.largest, b.largest, d.low, d.high, b.low, b.high, d.mean, b.mean, wp.total,
                wb.total, wp.subject, wb.subject, wp.category, wb.category, plain.cpu, balanced.cpu, plain.wall,
                balanced.wall);
    std::fflush(stdout);
  }
  return 0;
}
