#include "files/save_check.h"

#include <algorithm>
#include <cmath>

#include "files/cell_reference.h"
#include "files/file_error.h"
#include "files/xlsx_conversions.h"
#include "files/xlsx_reader_internal.h"
#include "files/zip_archive.h"
#include "host/model_worksheet.h"

namespace fenban::files {

namespace {

constexpr size_t kMaxCellCharacters = 32767;

size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (const char ch : text) count += (static_cast<unsigned char>(ch) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

bool SameText(std::string_view expected, std::string_view actual) {
  if (expected == actual) return true;
  // A text longer than a cell holds is written cut to the cell's length.
  return expected.size() > actual.size() && expected.substr(0, actual.size()) == actual &&
         CharacterCount(actual) == kMaxCellCharacters;
}

bool IsEmptyOrEmptyText(const host::Value& value) {
  return value.IsEmpty() || (value.IsText() && value.Text().empty());
}

bool SameValue(const host::Value& expected, const host::Value& actual) {
  switch (expected.Type()) {
    case host::ValueType::Empty:
      return IsEmptyOrEmptyText(actual);
    case host::ValueType::Number: {
      const double x = expected.Number();
      if (!std::isfinite(x)) return actual.IsError() && actual.Error().code == "#NUM!";
      if (!actual.IsNumber()) return false;
      const double y = actual.Number();
      return x == y || std::fabs(x - y) <= 1e-15 * std::max(std::fabs(x), std::fabs(y));
    }
    case host::ValueType::Text:
      if (expected.Text().empty()) return IsEmptyOrEmptyText(actual);
      return actual.IsText() && SameText(expected.Text(), actual.Text());
    case host::ValueType::Boolean:
      return actual.IsBoolean() && actual.Bool() == expected.Bool();
    case host::ValueType::Error: {
      const std::string& code = expected.Error().code;
      if (IsErrorLiteral(code)) return actual.IsError() && actual.Error().code == code;
      return actual.IsText() && SameText(code, actual.Text());  // an unknown code is kept as its text
    }
  }
  return false;
}

[[noreturn]] void Mismatch(const std::string& where) {
  throw FormatError("写入的文件读回时与内存中的内容不一致 (the written file does not read back as it should): " + where);
}

void CompareSheet(const host::ModelWorksheet& expected, const host::ModelWorksheet& actual) {
  const auto& rowsA = expected.RowsData();
  const auto& rowsB = actual.RowsData();
  const size_t rowCount = std::max(rowsA.size(), rowsB.size());
  static const host::Value kEmpty;
  for (size_t r = 0; r < rowCount; ++r) {
    const auto* cellsA = r < rowsA.size() ? &rowsA[r].cells : nullptr;
    const auto* cellsB = r < rowsB.size() ? &rowsB[r].cells : nullptr;
    const size_t countA = cellsA != nullptr ? cellsA->size() : 0;
    const size_t countB = cellsB != nullptr ? cellsB->size() : 0;
    for (size_t c = 0; c < std::max(countA, countB); ++c) {
      const host::Value& a = c < countA ? (*cellsA)[c].value : kEmpty;
      const host::Value& b = c < countB ? (*cellsB)[c].value : kEmpty;
      if (!SameValue(a, b)) {
        Mismatch("工作表“" + expected.Name() + "”单元格 " +
                 CellAddress(static_cast<int32_t>(r + 1), static_cast<int32_t>(c + 1)));
      }
    }
  }
}

}  // namespace

void CheckWrittenFile(const host::ModelWorkbook& book, const std::string& path) {
  auto& model = const_cast<host::ModelWorkbook&>(book);  // sheet access is not const; nothing is changed
  const ZipArchive zip = ZipArchive::OpenFile(path);
  const std::string workbookPart = FindWorkbookPart(zip);
  if (workbookPart.empty()) Mismatch("没有工作簿部件 (no workbook part)");
  UnkeptParts unkept;
  const WorkbookInfo info = ReadWorkbookPart(zip, workbookPart, unkept);
  if (info.sheets.size() != static_cast<size_t>(book.SheetCount())) Mismatch("工作表的数目 (the number of sheets)");
  std::vector<std::string> sharedStrings;
  if (!info.sharedStringsPart.empty() && zip.Has(info.sharedStringsPart)) {
    sharedStrings = ReadSharedStrings(zip, info.sharedStringsPart);
  }
  StyleTable styles;
  if (!info.stylesPart.empty() && zip.Has(info.stylesPart)) styles.Read(zip, info.stylesPart);

  // One sheet at a time, so that no more than one sheet is held twice.
  for (size_t i = 0; i < info.sheets.size(); ++i) {
    const SheetEntry& entry = info.sheets[i];
    host::ModelWorksheet& expected = model.ModelSheetAt(static_cast<int32_t>(i + 1));
    if (entry.kind != "worksheet" || entry.name != expected.Name() || entry.part.empty() || !zip.Has(entry.part)) {
      Mismatch("工作表“" + expected.Name() + "”");
    }
    host::ModelWorkbook scratch(book.Name(), book.Path());
    StyleTable sheetStyles = styles;
    ReadBudget budget;
    UnkeptParts sheetUnkept;
    SheetContext context;
    context.zip = &zip;
    context.sharedStrings = &sharedStrings;
    context.styles = &sheetStyles;
    context.budget = &budget;
    context.unkept = &sheetUnkept;
    context.date1904 = info.date1904;
    host::ModelWorksheet& actual = scratch.AppendSheet(entry.name);
    ReadSheetPart(context, entry.part, actual);
    CompareSheet(expected, actual);
  }
}

}  // namespace fenban::files
