#include "division/list_layout.h"

#include <algorithm>

#include "host/cell_values.h"
#include "host/constants.h"
#include "host/errors.h"
#include "host/rect_ops.h"

namespace fenban::division {

namespace {

constexpr size_t kListedHeaders = 30;
// Title rows are told by at most this many values each.
constexpr int32_t kTitleValues = 1;

std::string Address(int32_t row, int32_t column) { return host::RectAddress(host::Rect{row, column, row, column}); }

int32_t LastColumn(const host::Worksheet& sheet) { return sheet.UsedRect().col2; }

int32_t ValuesInRow(const host::Worksheet& sheet, int32_t row, int32_t lastColumn) {
  int32_t values = 0;
  for (int32_t c = 1; c <= lastColumn; ++c) values += sheet.CellValue(row, c).IsEmpty() ? 0 : 1;
  return values;
}

// The merged areas of the sheet; none where the host cannot list them.
std::vector<host::Rect> MergedAreasOf(const host::Worksheet& sheet) {
  std::vector<host::Rect> areas;
  host::SkipOnError([&] { areas = sheet.MergedAreas(); });
  return areas;
}

struct Found {
  int32_t row = 0;
  int32_t column = 0;
  std::string marker;
};

// The first row that holds a marker or two subjects.
std::optional<Found> FindHeaderRow(const host::Worksheet& sheet, const std::vector<std::string>& markers,
                                   const std::vector<std::string>& subjects) {
  const host::Rect used = sheet.UsedRect();
  for (int32_t row = 1; row <= std::min(used.row2, kMostHeaderRow); ++row) {
    int32_t subjectCount = 0;
    std::optional<Found> firstSubject;
    for (int32_t column = 1; column <= used.col2; ++column) {
      const std::string text = HeaderText(sheet.CellValue(row, column));
      if (text.empty()) continue;
      if (std::find(markers.begin(), markers.end(), text) != markers.end()) return Found{row, column, text};
      if (std::find(subjects.begin(), subjects.end(), text) != subjects.end()) {
        if (!firstSubject) firstSubject = Found{row, column, text};
        ++subjectCount;
      }
    }
    if (subjectCount >= 2) return firstSubject;
  }
  return std::nullopt;
}

}  // namespace

std::string HeaderText(const host::Value& value) { return value.IsError() ? host::ShownValue(value) : value.ToText(); }

std::string HeadersOfRow(const host::Worksheet& sheet, int32_t row) {
  std::string listed;
  size_t count = 0;
  const int32_t lastColumn = LastColumn(sheet);
  for (int32_t column = 1; column <= lastColumn; ++column) {
    const host::Value& value = sheet.CellValue(row, column);
    if (value.IsEmpty()) continue;
    if (++count > kListedHeaders) {
      listed += "……";
      break;
    }
    listed += (listed.empty() ? "" : "、") + Address(row, column) + " " + HeaderText(sheet.CellValue(row, column));
  }
  return listed.empty() ? "（空）" : listed;
}

std::optional<HeaderLayout> FindHeaderLayout(const host::Worksheet& sheet, const std::vector<std::string>& markers,
                                             const std::vector<std::string>& subjects) {
  const std::optional<Found> found = FindHeaderRow(sheet, markers, subjects);
  if (!found) return std::nullopt;
  HeaderLayout layout;
  layout.marker = found->marker;
  layout.markerAddress = Address(found->row, found->column);
  layout.firstHeaderRow = layout.lastHeaderRow = found->row;
  const std::vector<host::Rect> merges = MergedAreasOf(sheet);
  // Merged cells over the header row make a header of the rows they span.
  for (const host::Rect& merge : merges) {
    if (merge.row1 > found->row || merge.row2 < found->row || merge.row2 > kMostHeaderRow) continue;
    layout.firstHeaderRow = std::min(layout.firstHeaderRow, merge.row1);
    layout.lastHeaderRow = std::max(layout.lastHeaderRow, merge.row2);
  }
  const int32_t lastColumn = LastColumn(sheet);
  for (int32_t row = 1; row < layout.firstHeaderRow; ++row) {
    if (ValuesInRow(sheet, row, lastColumn) > kTitleValues) return std::nullopt;
  }
  for (const host::Rect& merge : merges) {
    if (merge.row1 <= layout.lastHeaderRow) layout.merges.push_back(merge);
  }
  if (layout.lastHeaderRow == 1 && layout.merges.empty()) return std::nullopt;
  return layout;
}

std::string FixHeaderLayout(host::Worksheet& sheet, const HeaderLayout& layout) {
  const int32_t first = layout.firstHeaderRow;
  const int32_t last = layout.lastHeaderRow;
  const int32_t lastColumn = LastColumn(sheet);
  // A merged cell's text stands in its top-left cell; down its first column
  // it is the header of every row it spans.
  std::vector<std::vector<host::Value>> block(static_cast<size_t>(last - first + 1),
                                              std::vector<host::Value>(static_cast<size_t>(lastColumn)));
  for (int32_t row = first; row <= last; ++row) {
    for (int32_t column = 1; column <= lastColumn; ++column) {
      block[static_cast<size_t>(row - first)][static_cast<size_t>(column - 1)] = sheet.CellValue(row, column);
    }
  }
  for (const host::Rect& merge : layout.merges) {
    if (merge.row2 < first || merge.col1 > lastColumn) continue;
    const host::Value text = sheet.CellValue(merge.row1, merge.col1);
    for (int32_t row = std::max(merge.row1, first); row <= std::min(merge.row2, last); ++row) {
      block[static_cast<size_t>(row - first)][static_cast<size_t>(merge.col1 - 1)] = text;
    }
  }
  std::vector<std::string> titles;
  for (int32_t row = 1; row < first; ++row) {
    for (int32_t column = 1; column <= lastColumn; ++column) {
      if (const host::Value& value = sheet.CellValue(row, column); !value.IsEmpty()) {
        titles.push_back("“" + HeaderText(sheet.CellValue(row, column)) + "”");
      }
    }
  }
  sheet.UnMerge(host::Rect{1, 1, last, std::max(lastColumn, 1)});
  // The lowest text of each column is its header.
  for (int32_t column = 1; column <= lastColumn; ++column) {
    host::Value header;
    for (int32_t row = last; row >= first && header.IsEmpty(); --row) {
      header = block[static_cast<size_t>(row - first)][static_cast<size_t>(column - 1)];
    }
    if (!header.IsEmpty() || !sheet.CellValue(last, column).IsEmpty()) sheet.SetCellValue(last, column, header);
  }
  if (last > 1) sheet.DeleteCells(host::Rect{1, 1, last - 1, host::kMaxColumns}, host::kShiftUp);

  std::string done;
  if (first > 1) {
    std::string titleText;
    for (const std::string& title : titles) titleText += (titleText.empty() ? "" : "、") + title;
    done = "删去了表头上面的 " + std::to_string(first - 1) + " 行标题" + (titleText.empty() ? "" : "（" + titleText + "）");
  }
  if (last > first) {
    done += std::string(done.empty() ? "" : "，") + "把第 " + std::to_string(first) + "、" + std::to_string(last) +
            " 两行表头合成一行";
  }
  if (!layout.merges.empty()) {
    done += std::string(done.empty() ? "" : "，") + "取消了 " + std::to_string(layout.merges.size()) + " 个合并单元格";
  }
  return "数据表：" + done + "，表头现在在第 1 行。";
}

std::string HeaderLayoutQuestion(const host::Worksheet& sheet, const HeaderLayout& layout, int32_t given) {
  const int32_t first = layout.firstHeaderRow;
  const int32_t last = layout.lastHeaderRow;
  std::string text = "数据表的表头不在第 1 行：";
  if (first == last) {
    text += "第 " + std::to_string(last) + " 行像是表头（" + layout.markerAddress + " 是“" + layout.marker + "”）";
  } else {
    text += "第 " + std::to_string(first) + " 到 " + std::to_string(last) + " 行像是两行合并的表头（" +
            layout.markerAddress + " 是“" + layout.marker + "”）";
  }
  if (first > 1) text += "，上面 " + std::to_string(first - 1) + " 行是标题";
  text += "。";
  for (int32_t row = 1; row <= last; ++row) text += "第 " + std::to_string(row) + " 行：" + HeadersOfRow(sheet, row) + "。";
  if (!layout.merges.empty()) {
    std::string areas;
    for (size_t i = 0; i < layout.merges.size() && i < kListedHeaders; ++i) {
      areas += (i > 0 ? "、" : "") + host::RectAddress(layout.merges[i]);
    }
    text += "合并单元格：" + areas + "。";
  }
  if (given != 0 && given != last) {
    text += "你给的表头行是第 " + std::to_string(given) + " 行，与找到的第 " + std::to_string(last) + " 行不符，没有改动。";
  }
  std::string change;
  if (first > 1) change = "删去上面的标题行";
  if (!layout.merges.empty()) change += std::string(change.empty() ? "" : "、") + "取消合并单元格";
  if (last > first) change += "、把两行表头合成一行";
  return text + "要分班，请确认表头在第 " + std::to_string(last) + " 行：在“表头行”里填 " + std::to_string(last) +
         "（命令行 --header-row " + std::to_string(last) + "），fenban 会先" + change +
         "，让表头在第 1 行（原文件留作旧版本），再分班。也可以自己在表格程序里改好再分班。";
}

}  // namespace fenban::division
