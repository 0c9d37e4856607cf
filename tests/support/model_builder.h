// Helpers for tests of every layer: build model sheets from rows of values
// and read blocks back.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/value.h"

namespace fenban::host {

// Shows values readably in test failure messages.
inline void PrintTo(const Value& value, std::ostream* out) {
  switch (value.Type()) {
    case ValueType::Empty:
      *out << "(empty)";
      return;
    case ValueType::Number:
      *out << NumberToText(value.Number());
      return;
    case ValueType::Text:
      *out << '"' << value.Text() << '"';
      return;
    case ValueType::Boolean:
      *out << (value.Bool() ? "TRUE" : "FALSE");
      return;
    case ValueType::Error:
      *out << value.Error().code;
      return;
  }
}

}  // namespace fenban::host

namespace fenban::testing {

using Rows = std::vector<std::vector<host::Value>>;

// Writes rows into the sheet from (firstRow, firstColumn); empty values are skipped.
inline void FillSheet(host::Worksheet& sheet, const Rows& rows, int32_t firstRow = 1, int32_t firstColumn = 1) {
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      if (rows[r][c].IsEmpty()) continue;
      sheet.SetCellValue(firstRow + static_cast<int32_t>(r), firstColumn + static_cast<int32_t>(c), rows[r][c]);
    }
  }
}

// Appends a sheet named `name` to the workbook and fills it from row 1.
inline host::ModelWorksheet& AddSheet(host::ModelWorkbook& book, const std::string& name, const Rows& rows = {}) {
  host::ModelWorksheet& sheet = book.AppendSheet(name);
  FillSheet(sheet, rows);
  return sheet;
}

// The values of a block, row by row.
inline Rows ReadBlock(const host::Worksheet& sheet, int32_t firstRow, int32_t firstColumn, int32_t lastRow,
                      int32_t lastColumn) {
  Rows rows;
  for (int32_t r = firstRow; r <= lastRow; ++r) {
    std::vector<host::Value> row;
    for (int32_t c = firstColumn; c <= lastColumn; ++c) row.push_back(sheet.CellValue(r, c));
    rows.push_back(std::move(row));
  }
  return rows;
}

// The values of the block around (row, column), as CurrentRegion sees it.
inline Rows ReadRegion(const host::Worksheet& sheet, int32_t row = 1, int32_t column = 1) {
  const host::Rect region = sheet.CurrentRegion(row, column);
  return ReadBlock(sheet, region.row1, region.col1, region.row2, region.col2);
}

// The values of one column, rows firstRow..lastRow, as text.
inline std::vector<std::string> ColumnTexts(const host::Worksheet& sheet, int32_t column, int32_t firstRow,
                                            int32_t lastRow) {
  std::vector<std::string> texts;
  for (int32_t r = firstRow; r <= lastRow; ++r) texts.push_back(sheet.CellValue(r, column).ToText());
  return texts;
}

// A new workbook (no sheets yet) added to the application; the first added is ThisWorkbook.
inline host::ModelWorkbook& AddBook(host::ModelApplication& app, const std::string& name,
                                    const std::string& path = "/tmp") {
  return app.AddWorkbook(std::make_unique<host::ModelWorkbook>(name, path));
}

}  // namespace fenban::testing
