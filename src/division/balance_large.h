// The balance search for lists of large classes (classes of hundreds of
// students, e.g. 100,000 students in 100 classes). Students are grouped by
// swap key: alike in every total-score band of the statistics sheet and in
// whether they are among the year's best for each average over the best. A
// swap within a group leaves every band count and each class's count of the
// year's best as they were; half of the swaps go to the next group by total
// of the same membership of the year's best, moving one band count of two
// classes by one, which the caps hold within the deal's. The caps (every
// column of the statistics sheet at the deal's "最大差") are checked for each
// swap in O(columns the two students differ in), and the features no swap
// within a group changes are left out of the pricing. Large classes leave
// each group several members per class, so the means can still be refined
// freely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "division/balance_problem.h"

namespace fenban::division {

// Whether a list goes to this search: its capped columns carry more bands
// than the general search holds as features (classes of more than about 200
// students; the statistics sheet has a band per 5 students per class).
bool UsesLargeSearch(const BalanceProblem& problem);

// Per student: its swap key. Two students share a key when they reach the
// same bands of the capped ladder and are among the best of the same
// averages (the capped columns with a quota): swapping them changes no band
// count and no class's count of the year's best.
std::vector<int64_t> SwapKeys(const BalanceProblem& problem);
// Per student: its swap group (students of one key are numbered alike), or
// -1 for a student that never moves (movable 0).
std::vector<int32_t> SwapGroups(const std::vector<int64_t>& keys, const std::vector<uint8_t>& movable);

// The problem with the features that no swap within a group changes left
// out (the bands, the counts of the year's best): the cost of a swap within
// a group is the same without them, and each one left out is one less term
// in every evaluation. Capped columns and groups are kept.
BalanceProblem WithinGroupProblem(const BalanceProblem& problem, const std::vector<int32_t>& groupOf);

// The search from the deal: together groups gathered by trades within swap
// keys where they can be; the counts of the year's best evened out by trades
// across their edge; apart groups repaired; an annealing of swaps within
// groups and to the next group; then greedy passes over near neighbours.
// Keep-apart breaches and strict counts never grow during the annealing and
// the finish, nor does any capped column's excess.
std::vector<int32_t> LargeSearch(const BalanceProblem& problem);

}  // namespace fenban::division
