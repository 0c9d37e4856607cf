// The last phase of the balance search: the capped figures (the statistics
// sheet's) are brought back within their caps by single swaps, then the
// greedy finishes go on under the caps.
#pragma once

#include <cstdint>
#include <vector>

#include "division/balance_caps.h"
#include "division/balance_state.h"

namespace fenban::division {

// Rounds of single swaps that lower the capped figures' excess: every free
// student of a class at the edge of a column beyond its cap tries the
// partners nearest it in byScore and some drawn at random, and takes the swap
// that removes excess at the least cost per unit removed. No swap adds an
// apart breach or strict excess, and the balance cost may rise by a tenth at
// most (each swap by a hundredth). Returns the excess left.
double RepairCaps(SearchState& state, CapState& caps, const std::vector<int32_t>& byScore, SplitMix& random);

}  // namespace fenban::division
