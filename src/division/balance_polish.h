// The greedy finishes of the balance search: every free student tries the
// partners next to it in an order (by total, or by counts then total) and
// each swap that improves the standing is taken.
#pragma once

#include <cstdint>
#include <vector>

#include "division/balance_caps.h"
#include "division/balance_problem.h"
#include "division/balance_state.h"

namespace fenban::division {

// Near-score partners each student tries in the greedy finish, on either side.
constexpr int32_t kPolishWindow = 12;
// One near-score swap tried by the greedy finish, in the double swaps' work
// units (with 100,000 students its students' rows are seldom in the cache).
constexpr int64_t kPolishTryCost = 700;

// Greedy finish: tries the partners of every free student near it in the
// given order and takes each swap that lowers the cost, until a pass finds
// none or maxPasses passes are made. With caps, no swap lets a capped
// column's excess grow.
struct PolishRun {
  int64_t taken = 0;
  int32_t passes = 0;
};
PolishRun Polish(SearchState& state, const std::vector<int32_t>& order, int32_t maxPasses = 3,
                 CapState* caps = nullptr);

// The free students grouped by their values of every count feature, best
// total first within a group. Two students of one group swap without moving
// any count, so once the counts are even these neighbours are the swaps that
// still adjust the means; neighbours by total alone mostly differ in some
// count, and in classes of 200 the search had left such swaps untaken.
std::vector<int32_t> ByCounts(const BalanceProblem& problem, const std::vector<int32_t>& byScore);

// The last greedy finish: the neighbours by counts and by total in turn,
// until the one by counts finds nothing more or `passes` passes are made.
void Finish(SearchState& state, const std::vector<int32_t>& byScore, const std::vector<int32_t>& byCounts,
            int32_t passes, CapState* caps = nullptr);

}  // namespace fenban::division
