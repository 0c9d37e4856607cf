// Student lists as schools keep them: a title row or two above the header
// row, and header cells merged across columns or over two header rows. The
// division reads row 1 as its header row; these find such a layout and,
// once the teacher has confirmed it, bring the header row up to row 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/rect.h"
#include "host/worksheet.h"

namespace fenban::division {

// Title rows are looked for in this many rows at the top of the sheet.
inline constexpr int32_t kMostHeaderRow = 10;

// Where the headers of a list stand when they are not plain row 1.
struct HeaderLayout {
  int32_t firstHeaderRow = 1;  // the first row of the headers (merged cells may span two)
  int32_t lastHeaderRow = 1;   // the row the teacher confirms: the headers end here
  std::string marker;          // the header that showed the row ("总分")
  std::string markerAddress;   // where it stands ("E3")
  std::vector<host::Rect> merges;  // merged areas of the title and header rows
};

// The layout of a data sheet whose header row is not a plain row 1: the
// first of rows 1 to kMostHeaderRow that holds one of `markers` (or at least
// two of `subjects`) is the header row, every row above it holds at most
// one value (a title, merged or not), and either there are such rows or
// merged cells cross the header rows. None for a plain row 1, for a sheet
// where no row is found, or for rows above it that are not titles.
std::optional<HeaderLayout> FindHeaderLayout(const host::Worksheet& sheet, const std::vector<std::string>& markers,
                                             const std::vector<std::string>& subjects);

// Unmerges the merged cells of the title and header rows, makes one header
// row of two (the lower cell's text where it has one, else the merged text
// above it), and deletes the rows above it, so that the headers stand in
// row 1. Returns what was done, for the teacher.
std::string FixHeaderLayout(host::Worksheet& sheet, const HeaderLayout& layout);

// The question a layout asks before it is changed: where the headers and
// titles are and how to confirm. `given` is the header row the teacher gave
// (0 for none).
std::string HeaderLayoutQuestion(const host::Worksheet& sheet, const HeaderLayout& layout, int32_t given);

// A header cell's text; an error value as the sheet shows it ("#N/A").
std::string HeaderText(const host::Value& value);

// The headers of one row as a teacher reads them: "A1 姓名、B1 性别、C1 总分";
// "（空）" for a row without any.
std::string HeadersOfRow(const host::Worksheet& sheet, int32_t row);

}  // namespace fenban::division
