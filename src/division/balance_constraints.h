// The keep-apart, keep-together and same-name groups of the balance search:
// how many breaches an assignment has, which groups can never be met, the
// gathering of together groups before the search, the repair of apart
// groups during it, and the groups a result leaves unmet.
#pragma once

#include <cstdint>
#include <vector>

#include "division/balance_problem.h"
#include "division/balance_state.h"

namespace fenban::division {

// Constraint breaches of an assignment: same-class pairs in every apart and
// same-name group, plus, for every together group, its members outside the
// class that holds most of them.
int64_t ConstraintBreaches(const BalanceProblem& problem, const std::vector<int32_t>& classOf);
// The constraints that cannot be met whatever the search does.
std::vector<ConstraintProblem> FindImpossibleConstraints(const BalanceProblem& problem);

// Gathers every together group into one class by swapping its outside
// members with free students of that class (closest score first), then
// fixes the group there (movable becomes 0). A group no class has room for
// (the fixed students fill them) is left as it is.
void GatherTogetherGroups(const BalanceProblem& problem, std::vector<int32_t>& classOf, std::vector<uint8_t>& movable);

// Moves every member of an apart group that shares its class with another
// member to a class without one, trading with the free student there whose
// swap costs least. Returns when no such move is left.
void RepairApartGroups(SearchState& state, const std::vector<int32_t>& freeStudents,
                       const std::vector<uint8_t>& movable);

// The apart groups an assignment leaves with two members in one class, and
// the together groups it leaves split (ApartUnmet, TogetherUnmet).
std::vector<ConstraintProblem> UnmetGroups(const BalanceProblem& problem, const std::vector<int32_t>& classOf);

}  // namespace fenban::division
