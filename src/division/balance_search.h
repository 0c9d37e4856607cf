// The balance search behind the refinement: students trade places between
// classes so that every class's means of a set of features come as close as
// possible to the year's, while keep-apart and keep-together groups are met.
// Pure computation on numbers: no sheets, no host, so it can be tested and
// timed on its own. This is its driver; the phases live beside it: the
// problem (balance_problem.h), the constraints (balance_constraints.h), the
// annealing (balance_anneal.h), the double swaps (pair_swaps.h) and the
// greedy finishes (balance_polish.h), all on one state (balance_state.h).
#pragma once

#include <cstdint>
#include <vector>

#include "division/balance_constraints.h"
#include "division/balance_problem.h"

namespace fenban::division {

// The balance cost: for every class and feature, the cost of its deviation
// as its FeatureShape says (weight·v², plus excessWeight·e² for the part e
// beyond the free band), so that differences beyond a feature's band weigh
// much more than those within it, which lowers the largest differences.
double BalanceCost(const BalanceProblem& problem, const std::vector<int32_t>& classOf);
// Runs the search (several times for a small list, keeping the best run).
// Class sizes never change and fixed students never move.
// When FindImpossibleConstraints reports anything the deal is returned as it
// was, with those problems; groups the search could not meet are named in
// the result's unmet list.
BalanceResult SolveBalance(const BalanceProblem& problem);

}  // namespace fenban::division
