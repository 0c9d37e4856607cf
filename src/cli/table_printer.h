// Plain-text tables for the terminal, aligned by display width so that
// Chinese characters (two columns wide) line up.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/value_text.h"

namespace fenban::host {
class Worksheet;
class Value;
}

namespace fenban::cli {

using TextTable = std::vector<std::vector<std::string>>;

// Every row padded to the same column widths, two spaces between columns;
// the first column is aligned left, the others right (or left too, when
// allLeft is set). Trailing spaces are dropped; each line ends with "\n".
// A table wider than maxWidth display columns (0: no limit) is printed in
// parts of its columns, one below the other, each led by the first column.
std::string FormatTable(const TextTable& rows, bool allLeft = false, size_t maxWidth = 0);

using app::CellText;

// Prints the summary of a statistics sheet: the class count table in full,
// the duplicate-name report, and the "最大差" row of the subject count and
// subject average tables, one line per subject; tables are fitted to `width`
// display columns (0: no limit).
void PrintStatisticsSummary(std::ostream& out, host::Worksheet& statisticsSheet, size_t width = 0);

}  // namespace fenban::cli
