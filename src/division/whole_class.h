// The whole-class figures alone: the balance problem without the features
// that stand for the statistics sheet's columns (FeatureShape::capped), for
// the search's last polish, which leaves those columns to their caps.
#pragma once

#include "division/balance_problem.h"

namespace fenban::division {

// True when some feature is one of the sheet's capped columns.
bool HasCappedFeatures(const BalanceProblem& problem);

// The problem with only the features that are not capped, in their order;
// everything else (classes, groups, caps, budgets) as in `problem`.
BalanceProblem WholeClassProblem(const BalanceProblem& problem);

}  // namespace fenban::division
