#include "division/total_column.h"

#include "division/list_layout.h"
#include "host/cell_values.h"
#include "host/range.h"
#include "sheets/lookups.h"

namespace fenban::division {

namespace {

constexpr size_t kListedBlanks = 10;

using Entry = sheets::EntryTemplate;

std::string Address(int32_t row, int32_t column) { return host::RectAddress(host::Rect{row, column, row, column}); }

}  // namespace

const std::vector<std::string>& WellKnownTotalHeaders() {
  static const std::vector<std::string> headers = {"总分", "总成绩", "中考总分", "合计", "总计"};
  return headers;
}

std::vector<std::string> EntrySubjects(host::Application& app) {
  std::vector<std::string> subjects;
  const host::Worksheet* entry = app.ThisWorkbook().FindSheet(Entry::kSheetName);
  if (entry == nullptr) return subjects;
  for (int32_t row = Entry::kFirstSubjectRow; row <= Entry::kLastSubjectRow; ++row) {
    std::string text = host::CellText(*entry, row, Entry::kSubjectColumn);
    if (!text.empty()) subjects.push_back(std::move(text));
  }
  return subjects;
}

ComputedTotal AddTotalFromSubjects(host::Worksheet& dataSheet, const std::vector<std::string>& subjects) {
  if (const int32_t existing = sheets::FindHeaderColumn(dataSheet, kTotalHeader); existing != 0) {
    return {false, "数据表已经有“总分”列（" + Address(1, existing) +
                       "），不用再算。请不要勾选“用各科成绩算总分”（命令行去掉 --total-from-subjects），再分班。"};
  }
  std::vector<std::pair<std::string, int32_t>> columns;
  for (const std::string& subject : subjects) {
    if (const int32_t column = sheets::FindHeaderColumn(dataSheet, subject); column != 0) columns.emplace_back(subject, column);
  }
  std::string listed;
  for (const std::string& subject : subjects) listed += (listed.empty() ? "" : "、") + subject;
  if (columns.empty()) {
    return {false, "不能用各科成绩算总分：登记表列出的学科（" + (listed.empty() ? std::string("无") : listed) +
                       "）在数据表第 1 行一个也没有。第 1 行的表头：" + HeadersOfRow(dataSheet, 1) +
                       "。请在登记表的学科列里填上数据表的学科表头，或在数据表加一列“总分”，再分班。"};
  }
  const host::Rect table = dataSheet.CurrentRegion(1, 1);
  const int32_t totalColumn = table.col2 + 1;
  const int32_t nameColumn = sheets::FindHeaderColumn(dataSheet, "姓名");
  std::vector<std::string> zeros;
  for (int32_t row = 2; row <= table.row2; ++row) {
    double total = 0;
    for (const auto& [subject, column] : columns) {
      const host::Value& mark = dataSheet.CellValue(row, column);
      if (!mark.IsEmpty() && mark.IsNumeric() && !mark.IsBoolean()) {
        total += mark.ToDouble();
        continue;
      }
      const std::string who = nameColumn != 0 ? host::CellText(dataSheet, row, nameColumn) + " " : "";
      const std::string what = mark.IsEmpty() ? "" : host::ShownValue(mark);
      zeros.push_back(who + subject + what + "（" + Address(row, column) + "）");
    }
    dataSheet.SetCellValue(row, totalColumn, total);
  }
  dataSheet.SetCellValue(1, totalColumn, kTotalHeader);
  std::string used;
  for (const auto& entry : columns) used += (used.empty() ? "" : "+") + entry.first;
  std::string message = "数据表：按登记表的学科算出了每名学生的总分（" + used + "），写在新的“总分”列 " +
                        host::ColumnLetters(totalColumn) + " 列（数值，不是公式）。";
  if (!zeros.empty()) {
    std::string blanks;
    for (size_t i = 0; i < zeros.size() && i < kListedBlanks; ++i) blanks += (i > 0 ? "、" : "") + zeros[i];
    if (zeros.size() > kListedBlanks) blanks += "……";
    message += "空着或不是数的成绩按 0 分算，共 " + std::to_string(zeros.size()) + " 处：" + blanks + "。";
  }
  return {true, message};
}

}  // namespace fenban::division
