// The last check of the refinement: the statistics sheet after refining,
// recounted from the classes alone, against the deal's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "division/balance_features.h"
#include "division/balance_search.h"
#include "division/random_year.h"
#include "division/sheet_figures.h"
#include "division/sheet_guard.h"

namespace fenban::division {
namespace {

bool IsAverage(const SheetColumn& column) {
  return column.table == SheetTable::ExcellentAverages || column.table == SheetTable::PassAverages;
}

// Every column of the sheet of `classOf` within the deal's "最大差" (a count
// within one student more), recounted from scratch.
void ExpectWithinDeal(const StudentList& list, const std::vector<int32_t>& classOf) {
  const std::vector<SheetColumn> dealt = SheetDifferences(list, list.classOf);
  const std::vector<SheetColumn> after = SheetDifferences(list, classOf);
  ASSERT_EQ(dealt.size(), after.size());
  for (size_t c = 0; c < after.size(); ++c) {
    EXPECT_LE(after[c].largest, dealt[c].largest + (IsAverage(after[c]) ? 0.0 : 1.0) + 1e-9)
        << SheetTableTitle(after[c].table, list) << " " << after[c].name;
  }
}

std::vector<int32_t> Sizes(const std::vector<int32_t>& classOf, int32_t k) {
  std::vector<int32_t> sizes(static_cast<size_t>(k), 0);
  for (int32_t c : classOf) ++sizes[static_cast<size_t>(c)];
  return sizes;
}

TEST(SheetGuard, NoColumnOfTheRefinedSheetEndsAboveTheDeals) {
  // Small serpentine years, where the search's own measure of the averages
  // over each class's best left one a few tenths above the deal's.
  for (uint64_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const StudentList list = SerpentineYear(300, 6, seed);
    const BalanceResult result = SolveBalance(BuildBalanceProblem(list, seed));
    ASSERT_TRUE(result.problems.empty());
    EXPECT_FALSE(result.sheetFallback);
    EXPECT_EQ(Sizes(result.classOf, list.classCount), Sizes(list.classOf, list.classCount));
    ExpectWithinDeal(list, result.classOf);
  }
}

TEST(SheetGuard, TheRepairBringsBackAnAssignmentPushedOverTheRule) {
  // Classes dealt in serpentine, then each class's best student traded for
  // the next class's weakest: the averages over the best fall apart. The
  // repair brings every column back, keeps the sizes and leaves a fixed
  // student and the members of an apart group where the rule wants them.
  StudentList list = SerpentineYear(240, 4, 7);
  const std::vector<int32_t> order = RankByTotal(list);
  list.fixed[static_cast<size_t>(order[1])] = 1;
  list.apartGroups = {{order[2], order[3]}};
  std::vector<int32_t> pushed = list.classOf;
  for (int32_t c = 0; c < list.classCount; ++c) {
    const auto best = std::find_if(order.begin(), order.end(), [&](int32_t s) {
      return pushed[static_cast<size_t>(s)] == c && !list.fixed[static_cast<size_t>(s)];
    });
    const auto weakest = std::find_if(order.rbegin(), order.rend(), [&](int32_t s) {
      return pushed[static_cast<size_t>(s)] == (c + 1) % list.classCount;
    });
    std::swap(pushed[static_cast<size_t>(*best)], pushed[static_cast<size_t>(*weakest)]);
  }
  ASSERT_GT(SheetExcess(list, pushed), 0.5);
  const BalanceProblem problem = BuildBalanceProblem(list, 7);
  std::vector<int32_t> repaired = pushed;
  EXPECT_EQ(RepairSheetColumns(list, problem, repaired), 0.0);
  EXPECT_EQ(SheetExcess(list, repaired), 0.0);
  ExpectWithinDeal(list, repaired);
  EXPECT_EQ(Sizes(repaired, list.classCount), Sizes(list.classOf, list.classCount));
  EXPECT_EQ(repaired[static_cast<size_t>(order[1])], pushed[static_cast<size_t>(order[1])]);
  EXPECT_LE(ConstraintBreaches(problem, repaired), ConstraintBreaches(problem, pushed));
}

}  // namespace
}  // namespace fenban::division
