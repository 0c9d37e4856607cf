#include "app/class_export.h"

#include <algorithm>
#include <map>

#include <fmt/format.h>

#include "app/app_error.h"
#include "app/folder_guard.h"
#include "files/workbook_files.h"
#include "host/constants.h"
#include "host/display_text.h"
#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/page_setup.h"
#include "sheets/workbook_layout.h"

namespace fenban::app {

namespace fs = std::filesystem;

namespace {

constexpr double kRowHeight = 20;
// What an A4 portrait page holds between the margins set below, in points.
constexpr double kPageHeight = 842 - 40 - 40;

struct ClassList {
  std::string label;
  std::vector<std::vector<host::Value>> rows;  // the chosen columns
};

std::string Shown(const host::Value& value) { return value.IsEmpty() ? "" : host::DisplayText(value, "General"); }

std::vector<ClassList> ReadClasses(const host::Worksheet& sheet, const std::vector<int32_t>& columns) {
  std::vector<ClassList> classes;
  const int32_t headerRow = sheets::DivisionHeaderRow(sheet);
  const host::Rect table = sheet.CurrentRegion(headerRow, 1);
  for (int32_t row = headerRow + 1; row <= table.row2; ++row) {
    const std::string label = Shown(sheet.CellValue(row, 1));
    if (label.empty()) break;
    if (classes.empty() || classes.back().label != label) classes.push_back({label, {}});
    std::vector<host::Value> cells;
    for (int32_t column : columns) cells.push_back(sheet.CellValue(row, column));
    classes.back().rows.push_back(std::move(cells));
  }
  return classes;
}

bool Before(const host::Value& a, const host::Value& b) {
  if (a.IsNumeric() && b.IsNumeric()) return a.ToDouble() < b.ToDouble();
  return Shown(a) < Shown(b);
}

std::string Heading(const std::string& pattern, const std::string& label) {
  std::string text = pattern;
  for (size_t at = text.find("{n}"); at != std::string::npos; at = text.find("{n}", at + label.size())) {
    text.replace(at, 3, label);
  }
  return text;
}

// One class on `sheet`: the heading over the columns, the header row, the
// students, framed; portrait A4, scaled down to one page where that stays readable.
void WriteClass(host::Worksheet& sheet, const ClassList& list, const std::vector<std::string>& headers,
                const std::string& heading) {
  const auto width = static_cast<int32_t>(headers.size());
  sheet.SetCellValue(1, 1, host::Value(Heading(heading, list.label)));
  if (width > 1) sheet.Merge({1, 1, 1, width});
  sheet.SetFontSize({1, 1, 1, width}, 16);
  sheet.SetFontBold({1, 1, 1, width}, true);
  sheet.SetHorizontalAlignment({1, 1, 1, width}, host::kAlignCenter);
  sheet.SetCellValue(2, 1, host::Value(fmt::format("共 {} 人", list.rows.size())));
  for (int32_t column = 1; column <= width; ++column) {
    sheet.SetCellValue(3, column, host::Value(headers[static_cast<size_t>(column - 1)]));
  }
  sheet.SetFontBold({3, 1, 3, width}, true);
  int32_t row = 4;
  for (const std::vector<host::Value>& cells : list.rows) {
    for (int32_t column = 1; column <= width; ++column) sheet.SetCellValue(row, column, cells[static_cast<size_t>(column - 1)]);
    ++row;
  }
  const host::Rect table{3, 1, row - 1, width};
  for (int32_t edge : {host::kEdgeLeft, host::kEdgeTop, host::kEdgeBottom, host::kEdgeRight, host::kInsideVertical,
                       host::kInsideHorizontal}) {
    sheet.SetBorderLineStyle(table, edge, host::kLineContinuous);
  }
  sheet.SetHorizontalAlignment(table, host::kAlignCenter);
  sheet.SetRowHeight(1, 1, 28);
  sheet.SetRowHeight(2, row - 1, kRowHeight);
  sheet.SetColumnWidth(1, width, 14);
  host::PageSetup& page = sheet.GetPageSetup();
  page.SetPaperSize(host::kPaperA4);
  page.SetOrientation(host::kPortrait);
  page.SetTopMargin(40);
  page.SetBottomMargin(40);
  page.SetLeftMargin(40);
  page.SetRightMargin(40);
  page.SetCenterHorizontally(true);
  page.SetPrintTitleRows("$1:$3");
  const double height = 28 + kRowHeight * (row - 2);
  const int32_t zoom = static_cast<int32_t>(std::clamp(kPageHeight / height * 100, 70.0, 100.0));
  page.SetZoom(zoom);
}

// A sheet's name from the heading: without the characters a sheet name
// may not hold, at most 31 characters.
std::string SheetNameOf(const std::string& heading) {
  std::string name;
  size_t characters = 0;
  for (size_t i = 0; i < heading.size() && characters < 31; ++characters) {
    size_t length = 1;
    const auto lead = static_cast<unsigned char>(heading[i]);
    if (lead >= 0xF0) length = 4;
    else if (lead >= 0xE0) length = 3;
    else if (lead >= 0xC0) length = 2;
    std::string character = heading.substr(i, length);
    name += std::string("[]:*?/\\").find(character) == std::string::npos || length > 1 ? character : "_";
    i += length;
  }
  return name;
}

std::unique_ptr<host::ModelWorkbook> NewBook(const fs::path& target) {
  return std::make_unique<host::ModelWorkbook>(target.filename().string(), target.parent_path().string());
}

}  // namespace

std::vector<std::string> DefaultExportColumns(const std::vector<std::string>& headers) {
  std::vector<std::string> columns;
  for (const char* wanted : {"姓名", "性别"}) {
    if (std::find(headers.begin(), headers.end(), wanted) != headers.end()) columns.emplace_back(wanted);
  }
  for (const char* number : {"考号", "学号"}) {
    if (std::find(headers.begin(), headers.end(), number) != headers.end()) {
      columns.emplace_back(number);
      break;
    }
  }
  return columns;
}

std::vector<fs::path> ExportClassLists(const fs::path& list, const ExportOptions& options) {
  std::unique_ptr<host::ModelWorkbook> book;
  try {
    book = files::ReadWorkbook(list.string());
  } catch (const host::RuntimeError& error) {
    throw AppError(fmt::format("无法读取 “{}” (cannot read the workbook): {}", list.filename().string(), error.Description()));
  }
  host::Worksheet* sheet = book->FindSheet(options.sheet);
  const int32_t headerRow = sheet == nullptr ? 1 : sheets::DivisionHeaderRow(*sheet);
  if (sheet == nullptr || options.sheet.rfind("分班表", 0) != 0 || Shown(sheet->CellValue(headerRow, 1)) != "新班级") {
    throw AppError(fmt::format("“{}” 里没有分班表 “{}” (no such division sheet)", list.filename().string(), options.sheet));
  }
  std::map<std::string, int32_t> columnOf;
  std::vector<std::string> headers;
  for (int32_t column = 2; column <= sheet->CurrentRegion(headerRow, 1).col2; ++column) {
    const std::string header = Shown(sheet->CellValue(headerRow, column));
    headers.push_back(header);
    columnOf.emplace(header, column);
  }
  const std::vector<std::string> chosen = options.columns ? *options.columns : DefaultExportColumns(headers);
  if (chosen.empty()) throw AppError("没有要导出的列 (no columns to export)");
  std::vector<int32_t> columns;
  for (const std::string& header : chosen) {
    auto found = columnOf.find(header);
    if (found == columnOf.end()) {
      std::string known;
      for (const std::string& h : headers) known += (known.empty() ? "" : ",") + h;
      throw AppError(fmt::format("分班表里没有 “{}” 列 (no such column)。可选 available: {}", header, known));
    }
    columns.push_back(found->second);
  }
  std::vector<ClassList> classes = ReadClasses(*sheet, columns);
  if (!options.sortBy.empty()) {
    auto key = std::find(chosen.begin(), chosen.end(), options.sortBy);
    if (key == chosen.end()) throw AppError(fmt::format("排序的列 “{}” 应是导出的列之一 (sort by an exported column)", options.sortBy));
    const auto index = static_cast<size_t>(key - chosen.begin());
    for (ClassList& group : classes) {
      std::stable_sort(group.rows.begin(), group.rows.end(),
                       [index](const auto& a, const auto& b) { return Before(a[index], b[index]); });
    }
  }

  const std::string stem = list.stem().string();
  const fs::path folder = list.parent_path() / kExportFolderName;
  std::vector<std::pair<fs::path, std::unique_ptr<host::ModelWorkbook>>> books;
  for (const ClassList& group : classes) {
    // A pattern without "{n}" still names each class apart.
    const std::string pattern = options.heading.find("{n}") == std::string::npos ? "{n}班" : options.heading;
    const std::string name = SheetNameOf(Heading(pattern, group.label));
    if (options.perClassFiles || books.empty()) {
      const fs::path target = folder / (options.perClassFiles ? fmt::format("{}({} {}).xlsx", stem, options.sheet, name)
                                                              : fmt::format("{}({}名单).xlsx", stem, options.sheet));
      books.emplace_back(target, NewBook(target));
    }
    host::ModelWorkbook& into = *books.back().second;
    host::ModelWorksheet& classSheet = into.AppendSheet(name);
    WriteClass(classSheet, group, chosen, options.heading);
  }
  std::vector<fs::path> written;
  for (const auto& [target, _] : books) written.push_back(target);
  RefuseOpenWorkbooks(written);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw AppError(fmt::format("不能建立文件夹 “{}” (cannot create the folder): {}", folder.string(), ec.message()));
  for (const auto& [target, into] : books) files::WriteXlsxReplacing(*into, target.string());
  return written;
}

}  // namespace fenban::app
