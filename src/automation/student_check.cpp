#include "automation/student_check.h"

#include <cstdio>
#include <map>
#include <vector>

#include "host/errors.h"
#include "host/range.h"
#include "host/workbook.h"
#include "statistics/statistics.h"

namespace fenban::automation {

namespace {

constexpr const char* kDataSheetName = "数据表";
constexpr const char* kTotalHeader = "总分";

// A value with its kind, so that the number 993 and the text "993" differ.
std::string KeyPart(const host::Value& v) {
  switch (v.Type()) {
    case host::ValueType::Empty: return "e";
    case host::ValueType::Number: {
      char text[40];
      std::snprintf(text, sizeof text, "n%.17g", v.Number());
      return text;
    }
    case host::ValueType::Text: return "t" + std::string(v.Text());
    case host::ValueType::Boolean: return v.Bool() ? "bT" : "bF";
    case host::ValueType::Error: return "x" + v.Error().code;
  }
  return "?";
}

// Each student's key (the values of `columns` in a row) and how often it stands there.
std::map<std::string, int32_t> Students(const host::Worksheet& sheet, int32_t firstRow, int32_t lastRow,
                                        const std::vector<int32_t>& columns) {
  std::map<std::string, int32_t> students;
  for (int32_t r = firstRow; r <= lastRow; ++r) {
    std::string key;
    bool empty = true;
    for (int32_t c : columns) {
      const host::Value& v = sheet.CellValue(r, c);
      empty = empty && v.IsEmpty();
      key += KeyPart(v) + '\x1f';
    }
    if (!empty) ++students[key];
  }
  return students;
}

}  // namespace

std::string StudentCountMismatch(const host::Worksheet& dataSheet, const host::Worksheet& divisionSheet) {
  auto& data = const_cast<host::Worksheet&>(dataSheet);
  const host::Rect block = data.Cells(1, 1).CurrentRegion().Area();
  std::vector<std::string> headers;
  std::vector<int32_t> dataColumns;
  for (int32_t c = block.col1; c <= block.col2; ++c) {
    const host::Value& header = dataSheet.CellValue(block.row1, c);
    if (header.IsEmpty() || (header.IsText() && header.Text() == kTotalHeader)) continue;
    headers.push_back(header.ToText());
    dataColumns.push_back(c);
  }
  const host::Rect used = divisionSheet.UsedRect();
  int32_t headerRow = 0;
  std::vector<int32_t> divisionColumns;
  for (int32_t r = 1; r <= std::min(3, used.row2) && headerRow == 0; ++r) {
    std::vector<int32_t> found;
    for (const std::string& name : headers) {
      for (int32_t c = 1; c <= used.col2; ++c) {
        const host::Value& v = divisionSheet.CellValue(r, c);
        if (!v.IsEmpty() && !v.IsError() && v.ToText() == name) {
          found.push_back(c);
          break;
        }
      }
    }
    if (found.size() == headers.size()) {
      headerRow = r;
      divisionColumns = found;
    }
  }
  const std::map<std::string, int32_t> listed = Students(dataSheet, block.row1 + 1, block.row2, dataColumns);
  std::map<std::string, int32_t> placed;
  if (headerRow != 0) placed = Students(divisionSheet, headerRow + 1, used.row2, divisionColumns);
  int64_t missing = 0, doubled = 0;
  for (const auto& [key, count] : listed) {
    const auto at = placed.find(key);
    const int32_t there = at == placed.end() ? 0 : at->second;
    if (there < count) missing += count - there;
    if (there > count) doubled += there - count;
  }
  for (const auto& [key, count] : placed) {
    if (listed.find(key) == listed.end()) doubled += count;
  }
  if (missing == 0 && doubled == 0) return "";
  std::string text = "“" + divisionSheet.Name() + "”与“" + dataSheet.Name() + "”的学生对不上：";
  if (missing > 0) text += std::to_string(missing) + " 名学生不在“" + divisionSheet.Name() + "”中";
  if (missing > 0 && doubled > 0) text += "，";
  if (doubled > 0) text += std::to_string(doubled) + " 行学生在“" + divisionSheet.Name() + "”中多出或重复";
  return text + "。这次操作没有完成，请检查后重做。";
}

void CheckedServices::Beep(int32_t frequency, int32_t milliseconds) {
  if (app_ != nullptr) {
    host::Application& app = *app_;
    app_ = nullptr;
    host::Workbook& book = host::Workbooks(app)(state_->DataBookName);
    const host::Worksheets sheets(book);
    const statistics::SheetPair pair = statistics::SheetPairOf(book.ActiveSheet().Name());
    const std::string mismatch = StudentCountMismatch(sheets(kDataSheetName), sheets(pair.divisionSheetName));
    if (!mismatch.empty()) host::Raise(host::kErrHost, mismatch);
  }
  inner_.Beep(frequency, milliseconds);
}

}  // namespace fenban::automation
