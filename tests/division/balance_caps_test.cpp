// The capped figures of the balance search: what a swap is predicted to do to
// them against a recount from the assignment alone, and the statistics
// sheet's columns after refining against the deal's on serpentine deals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "division/balance_caps.h"
#include "division/balance_features.h"
#include "division/balance_search.h"
#include "division/random_year.h"
#include "division/sheet_figures.h"

namespace fenban::division {
namespace {

// Column j's largest difference over the shown classes, recounted from the
// assignment: per class the sum of what its students add (the ladder
// included), divided by min(quota, size) for an average.
double RecountedRange(const BalanceProblem& problem, const std::vector<int32_t>& classOf, size_t j) {
  const CappedColumns& columns = problem.capped;
  const size_t k = static_cast<size_t>(problem.classCount);
  std::vector<double> sum(k, 0.0);
  std::vector<int32_t> size(k, 0);
  for (size_t s = 0; s < classOf.size(); ++s) {
    const size_t c = static_cast<size_t>(classOf[s]);
    ++size[c];
    for (int32_t e = columns.start[s]; e < columns.start[s + 1]; ++e) {
      if (static_cast<size_t>(columns.column[static_cast<size_t>(e)]) == j) sum[c] += columns.value[static_cast<size_t>(e)];
    }
    const int64_t step = static_cast<int64_t>(j) - columns.ladderFirst;
    if (step >= 0 && step < columns.ladderSteps && columns.ladderFrom[s] <= step) sum[c] += 1;
  }
  double high = -1e300, low = 1e300;
  for (size_t c = 0; c < k; ++c) {
    if (size[c] == 0 || (c < columns.shown.size() && !columns.shown[c])) continue;
    const double figure = columns.quota[j] > 0 ? sum[c] / std::min(columns.quota[j], size[c]) : sum[c];
    high = std::max(high, figure);
    low = std::min(low, figure);
  }
  return high >= low ? high - low : 0.0;
}

double RecountedExcess(const BalanceProblem& problem, const std::vector<int32_t>& classOf) {
  double excess = 0;
  for (size_t j = 0; j < problem.capped.Count(); ++j) {
    excess += std::max(0.0, RecountedRange(problem, classOf, j) - problem.capped.cap[j] - 1e-7);
  }
  return excess;
}

// Random students in classes of uneven size, one of them not shown: three
// count columns, two averages over the best 4 and a ladder of five steps,
// each capped somewhat below what the random assignment shows.
BalanceProblem RandomCappedProblem(std::mt19937_64& engine, int32_t trial) {
  BalanceProblem problem;
  problem.classCount = 3 + trial % 4;
  const int32_t n = 24 + trial * 3;
  std::uniform_real_distribution<double> mark(40, 100);
  CappedColumns& columns = problem.capped;
  columns.quota = {0, 0, 4, 0, 4, 0, 0, 0, 0, 0};
  columns.ladderFirst = 5;
  columns.ladderSteps = 5;
  columns.start.push_back(0);
  for (int32_t s = 0; s < n; ++s) {
    problem.classOf.push_back(static_cast<int32_t>(engine() % static_cast<uint64_t>(problem.classCount)));
    for (int32_t j = 0; j < 5; ++j) {
      if (engine() % 3 == 0) continue;
      columns.column.push_back(j);
      columns.value.push_back(columns.quota[static_cast<size_t>(j)] > 0 ? mark(engine) : 1.0);
    }
    columns.start.push_back(static_cast<int32_t>(columns.column.size()));
    columns.ladderFrom.push_back(static_cast<int32_t>(engine() % 6));
  }
  columns.shown.assign(static_cast<size_t>(problem.classCount), 1);
  columns.shown.back() = trial % 2 == 0 ? 0 : 1;
  columns.cap.assign(10, 0.0);
  for (size_t j = 0; j < 10; ++j) columns.cap[j] = 0.7 * RecountedRange(problem, problem.classOf, j);
  problem.fixed.assign(static_cast<size_t>(n), 0);
  return problem;
}

TEST(CapState, EverySwapsPredictedChangeIsTheChangeOfARecount) {
  std::mt19937_64 engine(5);
  for (int32_t trial = 0; trial < 16; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const BalanceProblem problem = RandomCappedProblem(engine, trial);
    const int32_t n = static_cast<int32_t>(problem.classOf.size());
    CapState caps(problem, problem.classOf);
    std::vector<int32_t> classOf = problem.classOf;
    ASSERT_NEAR(caps.Excess(), RecountedExcess(problem, classOf), 1e-9);
    for (int32_t move = 0; move < 150; ++move) {
      const auto i = static_cast<int32_t>(engine() % static_cast<uint64_t>(n));
      const auto l = static_cast<int32_t>(engine() % static_cast<uint64_t>(n));
      if (classOf[static_cast<size_t>(i)] == classOf[static_cast<size_t>(l)]) continue;
      std::vector<double> ranges;
      for (size_t j = 0; j < problem.capped.Count(); ++j) ranges.push_back(RecountedRange(problem, classOf, j));
      const double before = RecountedExcess(problem, classOf);
      const CapState::Change predicted = caps.Delta(i, l);
      std::swap(classOf[static_cast<size_t>(i)], classOf[static_cast<size_t>(l)]);
      bool grows = false;
      for (size_t j = 0; j < problem.capped.Count(); ++j) {
        const double cap = problem.capped.cap[j];
        const double now = RecountedRange(problem, classOf, j);
        grows = grows || std::max(0.0, now - cap - 1e-7) > std::max(0.0, ranges[j] - cap - 1e-7) + 1e-9;
      }
      ASSERT_NEAR(predicted.excess, RecountedExcess(problem, classOf) - before, 1e-9) << "move " << move;
      ASSERT_EQ(predicted.grows, grows) << "move " << move;
      // Swaps taken or not, as a search would.
      if (move % 3 == 0) {
        std::swap(classOf[static_cast<size_t>(i)], classOf[static_cast<size_t>(l)]);
        continue;
      }
      caps.Swap(i, l);
      for (size_t j = 0; j < problem.capped.Count(); ++j) {
        ASSERT_NEAR(caps.Range(j), RecountedRange(problem, classOf, j), 1e-9) << "move " << move << " column " << j;
      }
    }
  }
}

TEST(CapState, ADoubleSwapsPredictedChangeIsTheChangeOfARecount) {
  std::mt19937_64 engine(6);
  for (int32_t trial = 0; trial < 16; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const BalanceProblem problem = RandomCappedProblem(engine, trial);
    const CapState caps(problem, problem.classOf);
    const size_t n = problem.classOf.size();
    for (int32_t move = 0; move < 100; ++move) {
      std::vector<int32_t> inA, inB;
      for (size_t s = 0; s < n; ++s) {
        if (problem.classOf[s] == 0) inA.push_back(static_cast<int32_t>(s));
        if (problem.classOf[s] == 1) inB.push_back(static_cast<int32_t>(s));
      }
      if (inA.size() < 2 || inB.size() < 2) break;
      std::shuffle(inA.begin(), inA.end(), engine);
      std::shuffle(inB.begin(), inB.end(), engine);
      std::vector<int32_t> classOf = problem.classOf;
      const double before = RecountedExcess(problem, classOf);
      for (int p = 0; p < 2; ++p) std::swap(classOf[static_cast<size_t>(inA[static_cast<size_t>(p)])], classOf[static_cast<size_t>(inB[static_cast<size_t>(p)])]);
      ASSERT_NEAR(caps.Delta(inA[0], inA[1], inB[0], inB[1]).excess, RecountedExcess(problem, classOf) - before, 1e-9);
    }
  }
}

TEST(CapState, HeldNearThePresentEverySwapAndEveryReassignmentMatchesARecount) {
  // Caps lowered to the present difference plus a slack (1 for a count, 0.5
  // for an average) hold from then on, through swaps and through a return to
  // an earlier assignment (as the annealing restores the best it saw).
  std::mt19937_64 engine(8);
  for (int32_t trial = 0; trial < 12; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    BalanceProblem problem = RandomCappedProblem(engine, trial);
    problem.capped.cap.assign(problem.capped.Count(), 1e9);
    const int32_t n = static_cast<int32_t>(problem.classOf.size());
    CapState caps(problem, problem.classOf);
    caps.HoldNear(1.0, 0.5);
    BalanceProblem held = problem;
    for (size_t j = 0; j < held.capped.Count(); ++j) {
      held.capped.cap[j] = RecountedRange(problem, problem.classOf, j) + (held.capped.quota[j] > 0 ? 0.5 : 1.0);
    }
    ASSERT_NEAR(caps.Excess(), 0.0, 1e-12);
    std::vector<int32_t> classOf = problem.classOf;
    for (int32_t move = 0; move < 150; ++move) {
      const auto i = static_cast<int32_t>(engine() % static_cast<uint64_t>(n));
      const auto l = static_cast<int32_t>(engine() % static_cast<uint64_t>(n));
      if (classOf[static_cast<size_t>(i)] == classOf[static_cast<size_t>(l)]) continue;
      const double before = RecountedExcess(held, classOf);
      const CapState::Change predicted = caps.Delta(i, l);
      std::swap(classOf[static_cast<size_t>(i)], classOf[static_cast<size_t>(l)]);
      ASSERT_NEAR(predicted.excess, RecountedExcess(held, classOf) - before, 1e-9) << "move " << move;
      caps.Swap(i, l);
      ASSERT_NEAR(caps.Excess(), RecountedExcess(held, classOf), 1e-9) << "move " << move;
    }
    // Back to a shuffled deal: the held caps stay.
    std::vector<int32_t> shuffled = problem.classOf;
    std::shuffle(shuffled.begin(), shuffled.end(), engine);
    caps.Reassign(shuffled);
    ASSERT_NEAR(caps.Excess(), RecountedExcess(held, shuffled), 1e-9);
    for (size_t j = 0; j < problem.capped.Count(); ++j) {
      ASSERT_NEAR(caps.Range(j), RecountedRange(problem, shuffled, j), 1e-9) << "column " << j;
    }
  }
}

TEST(SheetCaps, NoColumnOfTheStatisticsSheetEndsFurtherApartThanTheDealLeftIt) {
  // The serpentine deal leaves some of the sheet's columns within a point or
  // a student; the refinement may make them no worse.
  for (const auto& [n, k, seed] : {std::tuple{300, 6, 1u}, std::tuple{300, 6, 2u}, std::tuple{480, 12, 3u},
                                    std::tuple{600, 6, 4u}}) {
    SCOPED_TRACE(std::to_string(n) + " students, seed " + std::to_string(seed));
    const StudentList list = SerpentineYear(n, k, seed);
    const BalanceResult result = SolveBalance(BuildBalanceProblem(list, seed));
    ASSERT_TRUE(result.problems.empty());
    const std::vector<SheetColumn> dealt = SheetDifferences(list, list.classOf);
    const std::vector<SheetColumn> after = SheetDifferences(list, result.classOf);
    ASSERT_EQ(dealt.size(), after.size());
    for (size_t c = 0; c < after.size(); ++c) {
      EXPECT_LE(after[c].largest, dealt[c].largest + 1e-9) << SheetTableTitle(after[c].table, list) << " " << after[c].name;
    }
  }
}

}  // namespace
}  // namespace fenban::division
