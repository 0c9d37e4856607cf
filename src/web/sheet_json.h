// Sheets of a data workbook as the page shows them: the statistics sheet as
// a grid of cells with their colours, the division sheet as one list per
// class, and the "最大差" figures that a move of a student changes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/worksheet.h"
#include "sheets/workbook_layout.h"

namespace fenban::web {

// Every cell of the used area: shown text, bold, fill and font colours,
// alignment, borders, and merged cells as column spans.
nlohmann::json GridJson(const host::Worksheet& sheet);

// The division sheet ("分班表N", finished or not): its headers (without the
// class column) and its students grouped by class in sheet order. Each
// student carries its sheet row, so that the page can name it in a move.
nlohmann::json DivisionJson(const host::Worksheet& sheet);
// The same with only the classes shown as one of `labels` (a step's
// answer: the classes it changed), marked "part".
nlohmann::json DivisionPartJson(const host::Worksheet& sheet, const std::vector<std::string>& labels);

// The cells that tell a student of a division sheet apart: all but the
// class and the running number, which the statistics command renumbers.
std::vector<host::Value> StudentKey(const host::Worksheet& sheet, int32_t row);
// The name the page gives a student in a move: a hash of its key, which
// stays the same however the sheet is sorted.
std::string StudentId(const std::vector<host::Value>& key);

using sheets::DivisionHeaderRow;

// The numbers of every "最大差" row of a statistics sheet, top to bottom;
// position i of a row is column i + 1 (column A holds the label).
using MaxDiffRows = std::vector<std::vector<std::optional<double>>>;
MaxDiffRows ReadMaxDiffRows(const host::Worksheet& statistics);

// The cells of the grid whose "最大差" changed from `before`: each gets
// "before" (the shown text before) and "change" ("better" when the
// difference shrank, "worse" when it grew). Grids of another shape are left alone.
void MarkMaxDiffChanges(nlohmann::json& grid, const host::Worksheet& statistics, const MaxDiffRows& before);

}  // namespace fenban::web
