#include "division/balance_polish.h"

#include <algorithm>

namespace fenban::division {

PolishRun Polish(SearchState& state, const std::vector<int32_t>& order, int32_t maxPasses, CapState* caps) {
  PolishRun run;
  const int32_t m = static_cast<int32_t>(order.size());
  const int32_t window = kPolishWindow;
  for (; run.passes < maxPasses; ++run.passes) {
    bool improved = false;
    for (int32_t p = 0; p < m; ++p) {
      const int32_t i = order[static_cast<size_t>(p)];
      for (int32_t q = std::max(0, p - window); q <= std::min(m - 1, p + window); ++q) {
        const int32_t l = order[static_cast<size_t>(q)];
        if (state.ClassOf(i) == state.ClassOf(l)) continue;
        const int64_t pairs = state.PairDelta(i, l);
        if (pairs > 0) continue;
        const double strict = state.StrictExcessDelta(i, l);
        if (pairs == 0 && strict > kStrictEpsilon) continue;
        if (pairs < 0 || strict < -kStrictEpsilon || state.CostDelta(i, l) < -1e-12) {
          if (caps != nullptr) {
            if (caps->Delta(i, l).grows) continue;
            caps->Swap(i, l);
          }
          state.Swap(i, l);
          improved = true;
          ++run.taken;
        }
      }
    }
    if (!improved) {
      ++run.passes;
      break;
    }
  }
  return run;
}

std::vector<int32_t> ByCounts(const BalanceProblem& problem, const std::vector<int32_t>& byScore) {
  const size_t f = static_cast<size_t>(problem.featureCount);
  std::vector<size_t> counts;
  for (size_t j = 0; j < problem.shapes.size() && j < f; ++j) {
    if (problem.shapes[j].count) counts.push_back(j);
  }
  std::vector<int32_t> order = byScore;
  std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
    const double* a = &problem.features[static_cast<size_t>(x) * f];
    const double* b = &problem.features[static_cast<size_t>(y) * f];
    for (size_t j : counts) {
      if (a[j] != b[j]) return a[j] < b[j];
    }
    return false;
  });
  return order;
}

void Finish(SearchState& state, const std::vector<int32_t>& byScore, const std::vector<int32_t>& byCounts,
            int32_t passes, CapState* caps) {
  while (passes > 0) {
    const PolishRun counts = Polish(state, byCounts, std::min(3, passes), caps);
    passes -= counts.passes;
    if (counts.taken == 0 || passes <= 0) break;
    passes -= Polish(state, byScore, std::min(3, passes), caps).passes;
  }
}

}  // namespace fenban::division
