// In-memory host and data workbooks for the statistics tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "form/form.h"
#include "form/module_state.h"
#include "host/model_application.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/range.h"
#include "statistics/statistics.h"
#include "support/recording_services.h"

namespace fenban::statistics::test {

using host::Value;

// One student row of a division sheet laid out as
// 新班级 | 序号 | 姓名 | 性别 | 总分 | 语文 | 数学.
struct Student {
  Value classLabel;
  std::string name;
  std::string sex;
  double total;
  double chinese;
  double math;
};

class StatisticsTest : public ::testing::Test {
 public:
  StatisticsTest() : app(services) {
    auto hostBook = std::make_unique<host::ModelWorkbook>("fenban.xlsx", "/school");
    for (const char* name : {"DTB", "FBB", "JZB", "SYB", "登记表"}) hostBook->AppendSheet(name);
    hostWorkbook = &app.AddWorkbook(std::move(hostBook));
    auto dataBook = std::make_unique<host::ModelWorkbook>("高一新生.xls", "/school/数据");
    dataBook->AppendSheet("数据表");
    dataBook->AppendSheet("分班表1");
    dataBook->AppendSheet("统计表1");
    dataWorkbook = &app.AddWorkbook(std::move(dataBook));
    state.DataBookName = "高一新生.xls";
    state.NextSheetNo = 2;
    SetSubjects({"语文", "数学"});
  }

  host::ModelWorksheet& Sheet(host::ModelWorkbook& book, const std::string& name) {
    host::Worksheet* sheet = book.FindSheet(name);
    if (sheet == nullptr) throw std::runtime_error("no sheet " + name);
    return static_cast<host::ModelWorksheet&>(*sheet);
  }
  host::ModelWorksheet& Division() { return Sheet(*dataWorkbook, "分班表1"); }
  host::ModelWorksheet& Stats() { return Sheet(*dataWorkbook, "统计表1"); }
  host::ModelWorksheet& EntrySheet() { return Sheet(*hostWorkbook, "登记表"); }

  // Writes the subject slots A2:A20 of "登记表" (empty strings leave a slot empty).
  void SetSubjects(const std::vector<std::string>& subjects) {
    host::ModelWorksheet& entry = EntrySheet();
    for (int32_t r = 2; r <= 20; ++r) entry.SetCellValue(r, 1, Value());
    int32_t r = 2;
    for (const std::string& subject : subjects) {
      if (!subject.empty()) entry.SetCellValue(r, 1, Value(subject));
      ++r;
    }
  }

  // Writes a table from A1: the header row, then the rows.
  static void WriteTable(host::Worksheet& sheet, const std::vector<std::string>& headers,
                         const std::vector<std::vector<Value>>& rows) {
    for (size_t c = 0; c < headers.size(); ++c) {
      sheet.SetCellValue(1, static_cast<int32_t>(c + 1), Value(headers[c]));
    }
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < rows[r].size(); ++c) {
        sheet.SetCellValue(static_cast<int32_t>(r + 2), static_cast<int32_t>(c + 1), rows[r][c]);
      }
    }
  }

  void WriteStudents(host::Worksheet& sheet, const std::vector<Student>& students) {
    std::vector<std::vector<Value>> rows;
    for (const Student& s : students) {
      rows.push_back({s.classLabel, Value(), Value(s.name), Value(s.sex), Value(s.total), Value(s.chinese),
                      Value(s.math)});
    }
    WriteTable(sheet, {"新班级", "序号", "姓名", "性别", "总分", "语文", "数学"}, rows);
  }

  void Build(int32_t classCount, int32_t excellentQuota, int32_t passQuota) {
    BuildDivisionStatistics(app, state, classCount, excellentQuota, passQuota, 0, "分班表1", "统计表1");
  }

  Value StatsAt(int32_t row, int32_t column) { return Stats().CellValue(row, column); }
  double StatsNumber(int32_t row, int32_t column) { return Stats().CellValue(row, column).ToDouble(); }
  std::string StatsText(int32_t row, int32_t column) { return Stats().CellValue(row, column).ToText(); }

  std::vector<std::string> SheetNames() {
    std::vector<std::string> names;
    for (int32_t i = 1; i <= dataWorkbook->SheetCount(); ++i) names.push_back(dataWorkbook->SheetAt(i).Name());
    return names;
  }

  bool HasMerge(host::Worksheet& sheet, int32_t row1, int32_t col1, int32_t row2, int32_t col2) {
    for (const host::Rect& r : sheet.MergedAreas()) {
      if (r.row1 == row1 && r.col1 == col1 && r.row2 == row2 && r.col2 == col2) return true;
    }
    return false;
  }

  fenban::testing::RecordingServices services;
  host::ModelApplication app;
  host::ModelWorkbook* hostWorkbook = nullptr;
  host::ModelWorkbook* dataWorkbook = nullptr;
  form::ModuleState state;
};

// Three classes of five students, shuffled; 性别 with 女 first in ascending order.
inline std::vector<Student> ThreeClassesOfFive() {
  return {
      {Value(2), "李三", "男", 230, 75, 80},   {Value(1), "张一", "男", 280, 95, 90},
      {Value(3), "王五", "男", 170, 52, 50},   {Value(1), "张四", "女", 200, 65, 70},
      {Value(2), "李一", "女", 270, 90, 92},   {Value(3), "王一", "男", 260, 88, 94},
      {Value(1), "张五", "男", 150, 50, 40},   {Value(2), "李五", "女", 160, 55, 45},
      {Value(3), "王三", "男", 210, 72, 66},   {Value(1), "张二", "女", 250, 93, 85},
      {Value(2), "李二", "女", 240, 85.5, 75}, {Value(3), "王四", "女", 180, 58, 62},
      {Value(1), "张三", "男", 220, 91, 60},   {Value(2), "李四", "女", 190, 60, 55},
      {Value(3), "王二", "男", 245, 82, 88},
  };
}

}  // namespace fenban::statistics::test
