// Checks of the student list on "数据表" before a division writes anything:
// the list's size against the class count and the sheet's rows, the "总分"
// header and the totals the division could not read, and the columns that
// only the refinement uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/worksheet.h"

namespace fenban::division {

// The refusal for a list of no students, of fewer students than classes, or
// of more students than a division sheet holds under its title row; empty
// when the list fits. classCount below 1 is left to the division.
std::string ListSizeWarning(const host::Worksheet& dataSheet, int32_t classCount);

// The refusal for a data sheet whose total column the division does not
// find ("总分", or the header `chosen` in the option "总分列" names): where
// it stands when it is there after all (right of an empty or merged header
// cell, or below row 1) and what to do; otherwise the message that the
// column is missing, the headers of row 1 (and of the rows below when row 1
// reads as a title) and what to change: the option, a well-known total
// header to name in it, or the `subjects` of the entry template to add up.
std::string MissingTotalColumnMessage(const host::Worksheet& dataSheet, const std::string& chosen,
                                      const std::vector<std::string>& subjects);

// The refusal for totals that are formulas the file holds without their
// results and that could not be computed: it names the sheet, the cells and
// their formulas. Empty when every total can be read.
std::string UncomputedTotalsWarning(const host::Worksheet& dataSheet, const std::string& totalHeader);

// The notice that "分开"/"同班" entries are used only by the refinement;
// empty when the list has none of them.
std::string UnusedGroupsNotice(const host::Worksheet& dataSheet);

// The notice that the "均衡列" are spread only by the refinement; empty when
// there are none.
std::string UnusedBalanceColumnsNotice(const std::vector<std::string>& columns);

}  // namespace fenban::division
