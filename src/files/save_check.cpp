#include "files/save_check.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <thread>

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

std::string CellOf(const host::ModelWorksheet& sheet, size_t row, size_t column) {
  return "工作表“" + sheet.Name() + "”单元格 " +
         CellAddress(static_cast<int32_t>(row + 1), static_cast<int32_t>(column + 1));
}

// Compares the cells of a sheet read back, as they stream past in the order
// of the file, with the sheet of the model. A cursor walks the model's cells
// in the same order: each cell the file skips must be empty in the model,
// and the file must give its cells in order, each once.
class SheetComparer : public CellSink {
 public:
  explicit SheetComparer(const host::ModelWorksheet& expected) : expected_(expected), rows_(expected.RowsData()) {}

  void Cell(int32_t row, int32_t column, host::Value value) override {
    const auto r = static_cast<size_t>(row - 1), c = static_cast<size_t>(column - 1);
    if (r < row_ || (r == row_ && c < column_)) Mismatch(CellOf(expected_, r, c));  // repeated or out of order
    SkipTo(r, c);
    const auto& cells = r < rows_.size() ? rows_[r].cells : kNoCells;
    if (!SameValue(c < cells.size() ? cells[c].value : kEmpty, value)) Mismatch(CellOf(expected_, r, c));
    column_ = c + 1;
  }

  void Restart() override { row_ = column_ = 0; }

  // The file has ended: the rest of the model must be empty.
  void Finish() { SkipTo(rows_.size(), 0); }

 private:
  // Moves the cursor to (r, c), checking that every cell of the model passed on the way is empty.
  void SkipTo(size_t r, size_t c) {
    while (row_ < r || (row_ == r && column_ < c)) {
      if (row_ >= rows_.size()) break;  // beyond the model's rows every cell is empty
      const auto& cells = rows_[row_].cells;
      const size_t end = row_ == r ? std::min(c, cells.size()) : cells.size();
      for (; column_ < end; ++column_) {
        if (!SameValue(cells[column_].value, kEmpty)) Mismatch(CellOf(expected_, row_, column_));
      }
      if (row_ == r) break;
      ++row_;
      column_ = 0;
    }
    row_ = r;
    column_ = c;
  }

  static inline const host::Value kEmpty{};
  static inline const std::vector<host::Cell> kNoCells{};
  const host::ModelWorksheet& expected_;
  const std::vector<host::RowData>& rows_;
  size_t row_ = 0, column_ = 0;  // the next cell of the model not yet compared
};

// What the checks of all sheets share, read once from the package.
struct PackageFacts {
  WorkbookInfo info;
  std::vector<std::string> sharedStrings;
  StyleTable styles;
};

// Reads one sheet's part and compares it with the model's sheet as it streams past;
// only the part's row and column formats are kept, in a scratch sheet.
void CheckSheet(const ZipArchive& zip, const PackageFacts& facts, const SheetEntry& entry,
                const host::ModelWorksheet& expected, const host::ModelWorkbook& book) {
  host::ModelWorkbook scratch(book.Name(), book.Path());
  StyleTable sheetStyles = facts.styles;
  ReadBudget budget;
  UnkeptParts sheetUnkept;
  SheetComparer comparer(expected);
  SheetContext context;
  context.zip = &zip;
  context.sharedStrings = &facts.sharedStrings;
  context.styles = &sheetStyles;
  context.budget = &budget;
  context.unkept = &sheetUnkept;
  context.date1904 = facts.info.date1904;
  context.cells = &comparer;
  ReadSheetPart(context, entry.part, scratch.AppendSheet(entry.name));
  comparer.Finish();
}

}  // namespace

void CheckWrittenFile(const host::ModelWorkbook& book, const std::string& path) {
  auto& model = const_cast<host::ModelWorkbook&>(book);  // sheet access is not const; nothing is changed
  const ZipArchive zip = ZipArchive::OpenFile(path);
  const std::string workbookPart = FindWorkbookPart(zip);
  if (workbookPart.empty()) Mismatch("没有工作簿部件 (no workbook part)");
  UnkeptParts unkept;
  PackageFacts facts;
  facts.info = ReadWorkbookPart(zip, workbookPart, unkept);
  const WorkbookInfo& info = facts.info;
  if (info.sheets.size() != static_cast<size_t>(book.SheetCount())) Mismatch("工作表的数目 (the number of sheets)");
  if (!info.sharedStringsPart.empty() && zip.Has(info.sharedStringsPart)) {
    facts.sharedStrings = ReadSharedStrings(zip, info.sharedStringsPart);
  }
  if (!info.stylesPart.empty() && zip.Has(info.stylesPart)) facts.styles.Read(zip, info.stylesPart);

  const size_t count = info.sheets.size();
  std::vector<const host::ModelWorksheet*> sheets;
  uint64_t allSheets = 0;
  for (size_t i = 0; i < count; ++i) {
    const SheetEntry& entry = info.sheets[i];
    sheets.push_back(&model.ModelSheetAt(static_cast<int32_t>(i + 1)));
    if (entry.kind != "worksheet" || entry.name != sheets.back()->Name() || entry.part.empty() || !zip.Has(entry.part)) {
      Mismatch("工作表“" + sheets.back()->Name() + "”");
    }
    allSheets += zip.SizeOf(entry.part);
  }
  // The sheets are checked largest first by two threads, each reading its
  // own view of the archive; the difference reported is the first in sheet order.
  std::vector<size_t> order(count);
  for (size_t i = 0; i < count; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return zip.SizeOf(info.sheets[a].part) > zip.SizeOf(info.sheets[b].part);
  });
  std::atomic<size_t> next{0};
  std::vector<std::exception_ptr> failures(count);
  const auto work = [&](const ZipArchive& archive) {
    for (size_t k = next++; k < count; k = next++) {
      const size_t i = order[k];
      try {
        CheckSheet(archive, facts, info.sheets[i], *sheets[i], book);
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  std::exception_ptr helperFailure;
  std::thread helper;
  if (count > 1 && allSheets >= ZipArchive::kPipelinedSize && std::thread::hardware_concurrency() >= 2) {
    helper = std::thread([&] {
      try {
        work(ZipArchive::OpenFile(path));
      } catch (...) {
        helperFailure = std::current_exception();
      }
    });
  }
  work(zip);
  if (helper.joinable()) helper.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
  if (helperFailure) std::rethrow_exception(helperFailure);
}

}  // namespace fenban::files
