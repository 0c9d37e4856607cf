// Generated example student lists: realistic names, categories and
// correlated scores, reproducible from a seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/value.h"

namespace fenban::host {
class Worksheet;
}

namespace fenban::app {

inline constexpr uint64_t kDefaultExampleSeed = 20261207;
inline constexpr int32_t kMaxExampleStudents = 1048575;  // a sheet's rows below the header
inline constexpr const char* kExampleBookName = "示例.xlsx";

// The example's headers: 考号 姓名 性别 住校 应届, nine subjects, 总分, 预设班.
std::vector<std::string> ExampleHeaders();

// Header row followed by one row per student. 语文, 数学 and 英语 are out of
// 150, the other subjects out of 100; 总分 is the sum of the nine. The same
// count and seed always give the same table.
std::vector<std::vector<host::Value>> GenerateExampleTable(int32_t studentCount, uint64_t seed);

// Writes a table into a sheet from A1.
void WriteTable(host::Worksheet& sheet, const std::vector<std::vector<host::Value>>& table);

}  // namespace fenban::app
