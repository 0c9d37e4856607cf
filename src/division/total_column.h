// The column the division ranks by: "总分", or the header that the form
// option "总分列" names (the division and statistics sheets still call it
// "总分"); and a total made from the subject marks when the list has none.
#pragma once

#include <string>
#include <vector>

#include "host/application.h"
#include "host/worksheet.h"

namespace fenban::division {

inline constexpr const char* kTotalHeader = "总分";
// The header a "总分" column of the list is renamed to on the division sheet
// when the option names another column as the total.
inline constexpr const char* kFormerTotalHeader = "原总分";

// Headers that lists commonly give their total: offered in a refusal, never
// taken unasked.
const std::vector<std::string>& WellKnownTotalHeaders();

// The subjects "登记表" lists (A2:A20, empty cells left out).
std::vector<std::string> EntrySubjects(host::Application& app);

struct ComputedTotal {
  bool done = false;
  std::string message;  // what was done, or why it was not
};

// Adds a "总分" column of values right of the list around A1: each student's
// sum of the `subjects` found in row 1, a blank (or a mark that is not a
// number) counted as 0. The message names the subjects added and every mark
// counted as 0. Refuses (done false) when the list already has "总分" or
// holds none of the subjects.
ComputedTotal AddTotalFromSubjects(host::Worksheet& dataSheet, const std::vector<std::string>& subjects);

}  // namespace fenban::division
