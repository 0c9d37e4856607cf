// Shared by the checks of the preset column: its header and how a student is
// named in a message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/worksheet.h"

namespace fenban::division {

inline constexpr const char* kPresetHeader = "预设班";
inline constexpr const char* kNameHeader = "姓名";

// A cell as a message shows it: numbers in their plain form, error values by
// their code; "" for an empty cell or column 0.
std::string ShownText(const host::Worksheet& sheet, int32_t row, int32_t column);
// The items joined by `separator`; beyond the first 20 only their number is given.
std::string JoinListed(const std::vector<std::string>& items, const std::string& separator);
// Ends the division with a message when a preset on the data sheet is not a
// class number 1..k (empty and 0 mean none): text, a fraction, a negative
// number, or a class beyond k. The message names every such student by row,
// name and value. Returns true when every preset can be used.
bool CheckPresetValues(host::Application& app, const host::Worksheet& dataSheet, int32_t k);

}  // namespace fenban::division
