// Double swaps for the balance search: two students of one class trade
// places with two of another. Single swaps stop at deviations as coarse as
// the few thousand swaps between two classes allow; a double swap is chosen
// from millions and reaches much finer ones.
#pragma once

#include <cstdint>
#include <vector>

#include "division/balance_state.h"

namespace fenban::division {

// Members of a larger class are sampled afresh for every comparison, so that
// comparing two classes looks at most at (64·63/2)² pairs of pairs.
constexpr size_t kPairSwapSample = 64;

// One round over the class pairs, the most uneven first: each takes the best
// double swap of free students that lowers the cost and adds no apart
// breach. `budget` is spent (in units of about 0.3 ns of one core: pairs
// looked at, inner products and sorting, each by its measured cost) and the
// round stops when it runs out, or after as many double swaps as there are
// classes. Returns the double swaps taken.
int64_t PairSwaps(SearchState& state, const BalanceProblem& problem, const std::vector<int32_t>& freeStudents,
                  SplitMix& random, int64_t& budget);

}  // namespace fenban::division
