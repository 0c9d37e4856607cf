// The last check of the refinement: no "最大差" of the statistics sheet may
// end larger than the deal's (a count column by at most one student). The
// check recounts the sheet's own figures (sheet_figures.h); where a column is
// over, single swaps measured by those same figures bring it back, and what
// still breaks the rule is left to the caller to replace.
#pragma once

#include <cstdint>
#include <vector>

#include "division/balance_features.h"
#include "division/balance_problem.h"

namespace fenban::division {

// How far the sheet's columns of `classOf` exceed what the rule allows
// against the deal (list.classOf): the sum over columns of the part beyond
// the deal's "最大差" (an average) or beyond it plus one (a count). 0: the
// rule holds.
double SheetExcess(const StudentList& list, const std::vector<int32_t>& classOf);

// Brings the columns over the rule back by single swaps between classes,
// each lowering the excess (as the sheet counts it) at the least cost to
// the whole-class figures of `problem`, never moving a fixed student,
// adding a breach of the apart, together or same-name groups or a strict
// count's excess. Returns the excess left (0: the rule holds).
double RepairSheetColumns(const StudentList& list, const BalanceProblem& problem, std::vector<int32_t>& classOf);

}  // namespace fenban::division
