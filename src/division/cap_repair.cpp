#include "division/cap_repair.h"

#include <algorithm>

namespace fenban::division {
namespace {

// Partners each student tries: the nearest by total on either side, and as
// many drawn from all free students.
constexpr int32_t kRepairWindow = 24;
constexpr int32_t kRepairDraws = 24;
constexpr int32_t kRepairRounds = 30;
// Excess below this is none.
constexpr double kNoExcess = 1e-9;
// No repair swap may raise the balance cost by more than this share of the
// cost the repair started from, nor all of them together by more than
// kMostRepairCost of it: with 2,000 students in classes of 40 a repair that
// took the cheapest swap whatever it cost moved the year's best students
// into a few classes (the spread of the total 35 points apart).
constexpr double kMostSwapCost = 0.01;
constexpr double kMostRepairCost = 0.1;

}  // namespace

double RepairCaps(SearchState& state, CapState& caps, const std::vector<int32_t>& byScore, SplitMix& random) {
  const int32_t m = static_cast<int32_t>(byScore.size());
  const double start = state.Cost();
  const double swapLimit = kMostSwapCost * std::max(start, 1.0);
  const double repairLimit = start + kMostRepairCost * std::max(start, 1.0);
  for (int32_t round = 0; round < kRepairRounds && m >= 2 && caps.Excess() > kNoExcess; ++round) {
    const std::vector<uint8_t> extreme = caps.ExtremeClasses();
    int64_t taken = 0;
    for (int32_t p = 0; p < m && caps.Excess() > kNoExcess; ++p) {
      const int32_t i = byScore[static_cast<size_t>(p)];
      if (!extreme[static_cast<size_t>(state.ClassOf(i))]) continue;
      int32_t bestPartner = -1;
      double bestPrice = 0;
      auto consider = [&](int32_t l) {
        if (state.ClassOf(i) == state.ClassOf(l) || state.PairDelta(i, l) > 0) return;
        if (state.StrictExcessDelta(i, l) > kStrictEpsilon) return;
        const CapState::Change change = caps.Delta(i, l);
        if (change.excess > -kNoExcess) return;
        const double cost = state.CostDelta(i, l);
        if (cost > swapLimit) return;
        const double price = cost / -change.excess;
        if (bestPartner < 0 || price < bestPrice) {
          bestPartner = l;
          bestPrice = price;
        }
      };
      for (int32_t q = std::max(0, p - kRepairWindow); q <= std::min(m - 1, p + kRepairWindow); ++q) {
        consider(byScore[static_cast<size_t>(q)]);
      }
      for (int32_t t = 0; t < kRepairDraws; ++t) consider(byScore[static_cast<size_t>(random.Below(m))]);
      if (bestPartner < 0 || state.Cost() + state.CostDelta(i, bestPartner) > repairLimit) continue;
      caps.Swap(i, bestPartner);
      state.Swap(i, bestPartner);
      ++taken;
    }
    if (taken == 0) break;
  }
  return caps.Excess();
}

}  // namespace fenban::division
