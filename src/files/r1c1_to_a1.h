// Translation of R1C1 formulas (as the model keeps them) to the A1 notation
// that .xlsx files store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fenban::files {

// Translates the references of an R1C1 formula written in cell (row,
// column): R2C3 -> $C$2, R[-1]C -> the cell above, RC[2]:RC[4] -> a range,
// R1:R2 -> $1:$2, C3 -> $C:$C. Text in double quotes and quoted sheet names
// stay as they are. nullopt when a reference falls outside the sheet.
std::optional<std::string> R1C1ToA1(std::string_view formula, int32_t row, int32_t column);

}  // namespace fenban::files
