// An in-memory host for the division tests: a host workbook with its
// working sheets and a data workbook with "数据表", the form and the module
// state, plus small readers and writers of tables.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "division/division.h"
#include "form/form.h"
#include "form/module_state.h"
#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/value.h"
#include "sheets/lookups.h"
#include "support/recording_services.h"

namespace fenban::division::testing {

using Row = std::vector<host::Value>;
using Table = std::vector<Row>;  // row 1 first

inline constexpr const char* kDataBookName = "示例.xlsx";

// Writes a table into a sheet from (1, firstColumn).
inline void WriteTable(host::Worksheet& sheet, const Table& table, int32_t firstColumn = 1) {
  for (size_t r = 0; r < table.size(); ++r) {
    for (size_t c = 0; c < table[r].size(); ++c) {
      if (table[r][c].IsEmpty()) continue;
      sheet.SetCellValue(static_cast<int32_t>(r + 1), firstColumn + static_cast<int32_t>(c), table[r][c]);
    }
  }
}

// Reads rows firstRow..lastRow, columns firstColumn..lastColumn.
inline Table ReadBlock(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow, int32_t firstColumn,
                       int32_t lastColumn) {
  Table table;
  for (int32_t r = firstRow; r <= lastRow; ++r) {
    Row row;
    for (int32_t c = firstColumn; c <= lastColumn; ++c) row.push_back(sheet.CellValue(r, c));
    table.push_back(row);
  }
  return table;
}

// True when nothing at all is stored in the sheet's cells.
inline bool SheetIsEmpty(const host::Worksheet& sheet) {
  const host::Rect used = sheet.UsedRect();
  for (int32_t r = 1; r <= used.row2; ++r) {
    for (int32_t c = 1; c <= used.col2; ++c) {
      if (!sheet.CellValue(r, c).IsEmpty()) return false;
    }
  }
  return true;
}

// True when the sheet holds nothing below row 1.
inline bool NothingBelowRowOne(const host::Worksheet& sheet) {
  const host::Rect used = sheet.UsedRect();
  for (int32_t r = 2; r <= used.row2; ++r) {
    for (int32_t c = 1; c <= used.col2; ++c) {
      if (!sheet.CellValue(r, c).IsEmpty()) return false;
    }
  }
  return true;
}

// The work table on "FBB" as the division command describes it to the assignment.
inline WorkTable DescribeWorkTable(host::Worksheet& work) {
  WorkTable table;
  table.sexColumn = sheets::FindHeaderColumn(work, "性别");
  table.boardingColumn = sheets::FindHeaderColumn(work, "住校");
  table.currentColumn = sheets::FindHeaderColumn(work, "应届");
  table.totalColumn = sheets::FindHeaderColumn(work, "总分");
  const host::Rect region = work.CurrentRegion(1, 1);
  table.spareColumn = region.Columns() + 1;
  table.rowCount = region.Rows();
  return table;
}

// Column 1 (the class) of every student row, keyed by the text in `keyColumn`.
inline std::map<std::string, int32_t> ClassesByKey(const host::Worksheet& sheet, int32_t headerRow,
                                                   int32_t keyColumn) {
  std::map<std::string, int32_t> classes;
  const host::Rect region = sheet.CurrentRegion(headerRow, 1);
  for (int32_t r = headerRow + 1; r <= region.row2; ++r) {
    classes[sheet.CellValue(r, keyColumn).ToText()] = sheet.CellValue(r, 1).ToLong();
  }
  return classes;
}

class DivisionWorld {
 public:
  fenban::testing::RecordingServices services;
  host::ModelApplication app{services};
  host::ModelWorkbook* hostBook = nullptr;
  host::ModelWorkbook* dataBook = nullptr;
  form::FormModel form;
  form::ModuleState state;

  explicit DivisionWorld(bool withDataSheet = true) {
    hostBook = &app.AddWorkbook(std::make_unique<host::ModelWorkbook>("fenban.xlsx", "/tmp/host"));
    for (const char* name : {"DTB", "FBB", "JZB", "SYB", "登记表"}) hostBook->AppendSheet(name);
    Template().SetCellValue(2, 3, "否");
    dataBook = &app.AddWorkbook(std::make_unique<host::ModelWorkbook>(kDataBookName, "/tmp/host/数据"));
    dataBook->AppendSheet(withDataSheet ? "数据表" : "Sheet1");
    dataBook->SetActiveSheetIndex(1);
    form.ltbBiao.AddItem("其他.xlsx");
    form.ltbBiao.AddItem(kDataBookName);
    form.ltbBiao.SetListIndex(1);
    state.DataBookName = kDataBookName;
    form.txtFenBan.value = 2;
    form.txtYouXiu.value = 1;
    form.txtJiGe.value = 1;
    form.txtNMing.value = 0;
  }

  host::Worksheet& HostSheet(const std::string& name) { return *hostBook->FindSheet(name); }
  host::Worksheet& Work() { return HostSheet("FBB"); }
  host::Worksheet& TopSheet() { return HostSheet("JZB"); }
  host::Worksheet& Leftovers() { return HostSheet("SYB"); }
  host::Worksheet& Settings() { return HostSheet("DTB"); }
  host::Worksheet& Template() { return HostSheet("登记表"); }
  host::Worksheet& DataSheet() { return *dataBook->FindSheet("数据表"); }

  // Puts a table on "FBB" behind the columns "新班级" and "序号", as the
  // division command prepares it, and describes it.
  WorkTable PrepareWork(const Table& data) {
    WriteTable(Work(), data, 3);
    Work().SetCellValue(1, 1, "新班级");
    Work().SetCellValue(1, 2, "序号");
    return DescribeWorkTable(Work());
  }

  void Tick(bool sex, bool boarding, bool current) {
    form.chbXingBie.value = host::Value::Boolean(sex);
    form.chbZuXiao.value = host::Value::Boolean(boarding);
    form.chbYingJie.value = host::Value::Boolean(current);
  }

  bool WorkingSheetsClean() {
    return SheetIsEmpty(Work()) && SheetIsEmpty(TopSheet()) && NothingBelowRowOne(Leftovers());
  }

  // The row of the division sheet that holds "新班级" in column 1 (the
  // finished sheet has a title row above it).
  static int32_t HeaderRowOf(const host::Worksheet& sheet) {
    for (int32_t r = 1; r <= 3; ++r) {
      if (sheet.CellValue(r, 1) == host::Value("新班级")) return r;
    }
    return 0;
  }
};

}  // namespace fenban::division::testing
