#include "files/xls_reader.h"

#include <freexl.h>

#include "files/file_error.h"
#include "files/xlsx_conversions.h"
#include "host/errors.h"
#include "host/model_worksheet.h"

namespace fenban::files {

namespace {

class XlsHandle {
 public:
  explicit XlsHandle(const std::string& path) {
    const int status = freexl_open(path.c_str(), &handle_);
    if (status != FREEXL_OK) {
      handle_ = nullptr;
      if (status == FREEXL_FILE_NOT_FOUND) throw FormatError("文件无法打开 (the file cannot be opened)");
      if (status == FREEXL_INSUFFICIENT_MEMORY) throw FormatError(kTextTooLarge);
      if (status == FREEXL_BIFF_WORKBOOK_NOT_FOUND || status == FREEXL_INVALID_CFBF_HEADER) {
        throw FormatError(kTextNotWorkbook);
      }
      throw FormatError(std::string(kTextDamaged) + " [xls " + std::to_string(status) + "]");
    }
  }
  ~XlsHandle() {
    if (handle_ != nullptr) freexl_close(handle_);
  }
  XlsHandle(const XlsHandle&) = delete;
  XlsHandle& operator=(const XlsHandle&) = delete;
  const void* Get() const { return handle_; }

 private:
  const void* handle_ = nullptr;
};

unsigned int Info(const void* handle, unsigned short what) {
  unsigned int value = 0;
  if (freexl_get_info(handle, what, &value) != FREEXL_OK) return 0;
  return value;
}

host::Value ValueOf(const FreeXL_CellValue& cell, bool date1904) {
  switch (cell.type) {
    case FREEXL_CELL_INT:
      return host::Value(static_cast<double>(cell.value.int_value));
    case FREEXL_CELL_DOUBLE:
      return host::Value(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
      return cell.value.text_value != nullptr ? host::Value(std::string(cell.value.text_value)) : host::Value();
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: {
      if (cell.value.text_value == nullptr) return host::Value();
      const std::string text(cell.value.text_value);
      const auto serial = DateTimeTextToSerial(text, date1904);
      return serial ? host::Value(*serial) : host::Value(text);
    }
    default:
      return host::Value();
  }
}

}  // namespace

bool IsEncryptedPackage(const std::string& bytes) {
  static const char kName[] = {'E', 0, 'n', 0, 'c', 0, 'r', 0, 'y', 0, 'p', 0, 't', 0,
                               'i', 0, 'o', 0, 'n', 0, 'I', 0, 'n', 0, 'f', 0, 'o', 0};
  return bytes.find(std::string(kName, sizeof kName)) != std::string::npos;
}

std::unique_ptr<host::ModelWorkbook> ReadXlsFile(const std::string& path, const std::string& fileName,
                                                 const std::string& folder) {
  XlsHandle xls(path);
  const void* handle = xls.Get();
  if (Info(handle, FREEXL_BIFF_PASSWORD) != 0 && Info(handle, FREEXL_BIFF_PASSWORD) != FREEXL_BIFF_PLAIN) {
    throw FormatError(kTextEncrypted);
  }
  const bool date1904 = Info(handle, FREEXL_BIFF_DATEMODE) == FREEXL_BIFF_DATEMODE_1904;
  const unsigned int sheetCount = Info(handle, FREEXL_BIFF_SHEET_COUNT);
  auto book = std::make_unique<host::ModelWorkbook>(fileName, folder);
  book->Date1904() = date1904;
  for (unsigned int index = 0; index < sheetCount; ++index) {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(index), &name) != FREEXL_OK || name == nullptr) {
      throw FormatError(kTextDamaged);
    }
    host::ModelWorksheet* sheet = nullptr;
    try {
      sheet = &book->AppendSheet(name);
    } catch (const host::RuntimeError& error) {
      throw FormatError(std::string("工作表名称“") + name + "”无效 (invalid sheet name): " + error.Description());
    }
    if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(index)) != FREEXL_OK) {
      throw FormatError(kTextDamaged);
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) throw FormatError(kTextDamaged);
    if (rows > static_cast<unsigned int>(host::kMaxRows)) rows = static_cast<unsigned int>(host::kMaxRows);
    for (unsigned int row = 0; row < rows; ++row) {
      for (unsigned short column = 0; column < columns; ++column) {
        FreeXL_CellValue cell;
        if (freexl_get_cell_value(handle, row, column, &cell) != FREEXL_OK) continue;
        host::Value value = ValueOf(cell, date1904);
        if (value.IsEmpty()) continue;
        sheet->CellAt(static_cast<int32_t>(row) + 1, static_cast<int32_t>(column) + 1).value = std::move(value);
      }
    }
  }
  if (book->SheetCount() == 0) throw FormatError("工作簿中没有工作表 (no worksheets)");
  book->SetActiveSheetIndex(1);
  book->FileOrigin().fromXls = true;
  return book;
}

}  // namespace fenban::files
