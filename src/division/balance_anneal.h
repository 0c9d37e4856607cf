// The first phase of the balance search: simulated annealing of single
// swaps between free students.
#pragma once

#include <cstdint>
#include <vector>

#include "division/balance_caps.h"
#include "division/balance_problem.h"
#include "division/balance_state.h"

namespace fenban::division {

// Simulated annealing of `budget` candidate swaps between free students
// (byScore: the free students, best total first): a partner is drawn half of
// the time among the students nearest in score (fine adjustments) and half of
// the time from the whole list (large ones). A swap that adds apart breaches
// or strict excess is never taken; one that removes some always is. Ends on
// the best standing it saw. With caps, no swap lets a capped column's excess
// grow.
void Anneal(SearchState& state, const BalanceProblem& problem, const std::vector<int32_t>& byScore,
            SplitMix& random, int64_t budget, CapState* caps = nullptr);

}  // namespace fenban::division
