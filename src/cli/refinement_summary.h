// The lines `fenban divide` adds after a refined division: each figure's
// largest class difference after the serpentine deal and after refining.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "form/module_state.h"

namespace fenban::cli {

// A largest difference of a table of the statistics sheet as the sheet
// shows it: a count as a whole number, an average with one decimal.
std::string SheetFigureText(const form::BalanceFigure& table, double largest);

// Per table of the statistics sheet its largest difference after the deal
// and after refining, then the whole-class figures under their own heading,
// then the "分开"/"同班" groups the refinement could not meet. Prints nothing
// when the list of figures is empty (the division was not refined).
void PrintRefinementSummary(std::ostream& out, const std::vector<form::BalanceFigure>& figures,
                            const std::vector<std::string>& notes = {});

}  // namespace fenban::cli
