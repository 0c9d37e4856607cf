// Translation of A1 formulas (as .xlsx files store them) to the R1C1
// notation the model computes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fenban::files {

// Translates a formula as a file stores it (without the leading '='),
// written in cell (row, column), to the model's R1C1 text with a leading
// '=': "SUM(F2:N2)" in O2 -> "=SUM(RC[-9]:RC[-1])", $C$2 -> R2C3, C$2 ->
// R2C[n], A:C -> C[a]:C[b], 2:3 -> R[a]:R[b]. Text in double quotes stays as
// it is. nullopt for what the model cannot compute in place: references to
// other sheets or workbooks, structured references and defined names.
std::optional<std::string> A1ToR1C1(std::string_view formula, int32_t row, int32_t column);

}  // namespace fenban::files
