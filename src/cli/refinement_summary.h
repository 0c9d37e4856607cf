// The lines `fenban divide` adds after a refined division: each figure's
// largest class difference after the serpentine deal and after refining.
#pragma once

#include <iosfwd>
#include <vector>

#include "form/module_state.h"

namespace fenban::cli {

// Prints nothing when the list is empty (the division was not refined).
void PrintRefinementSummary(std::ostream& out, const std::vector<form::BalanceFigure>& figures);

}  // namespace fenban::cli
