// Double swaps for the balance search: two students of one class trade
// places with two of another. Single swaps stop at deviations as coarse as
// the few thousand swaps between two classes allow; a double swap is chosen
// from millions and reaches much finer ones.
#pragma once

#include <cstdint>
#include <vector>

#include "division/balance_caps.h"
#include "division/balance_state.h"
#include "division/helper_thread.h"

namespace fenban::division {

// Members of a larger class are sampled afresh for every comparison, so that
// comparing two classes looks at most at (64·63/2)² pairs of pairs.
constexpr size_t kPairSwapSample = 64;

// One round over the class pairs, the most uneven first: each takes the best
// double swap of free students that lowers the cost and adds no apart
// breach. The pairs go in waves of two that share no class (the most uneven
// left and the next after it with other classes), which cannot affect each
// other: with a helper thread the second of a wave runs on it, and the
// division is the same with or without. `budget` is spent (in units of about
// 0.3 ns of one core: pairs looked at, inner products and sorting, each by
// its measured cost) and the round stops when it runs out, or after as many
// double swaps as there are classes. Returns the double swaps taken.
// With caps, no double swap lets a capped column's excess grow, and the
// pairs go one at a time.
int64_t PairSwaps(SearchState& state, const BalanceProblem& problem, const std::vector<int32_t>& freeStudents,
                  SplitMix& random, int64_t& budget, HelperThread* helper = nullptr, CapState* caps = nullptr);

}  // namespace fenban::division
