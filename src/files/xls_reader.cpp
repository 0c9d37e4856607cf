#include "files/xls_reader.h"

#include <freexl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <vector>

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

// 1 for a date, 2 for a date with a time, 3 for a time of day, 0 for other cells.
char DateKindOf(unsigned char type) {
  if (type == FREEXL_CELL_DATE) return 1;
  if (type == FREEXL_CELL_DATETIME) return 2;
  if (type == FREEXL_CELL_TIME) return 3;
  return 0;
}

// FreeXL gives the dates of an .xls as text, without their number format;
// they get these, and their columns at least these widths.
struct DateFormat {
  const char* numberFormat;
  double width;
};
constexpr DateFormat kDateFormats[] = {{"yyyy/m/d", 10.5}, {"yyyy/m/d h:mm:ss", 17.5}, {"h:mm:ss", 9}};

// The date cells of one sheet, formatted once the sheet is read: runs of
// rows in a column take one format call each.
class DateCells {
 public:
  void Add(int32_t row, int32_t column, char kind) { cells_.push_back({column, kind, row}); }

  void ApplyTo(host::ModelWorksheet& sheet) {
    std::sort(cells_.begin(), cells_.end());
    size_t first = 0;
    while (first < cells_.size()) {
      size_t last = first;
      while (last + 1 < cells_.size() && cells_[last + 1].column == cells_[first].column &&
             cells_[last + 1].kind == cells_[first].kind && cells_[last + 1].row == cells_[last].row + 1) {
        ++last;
      }
      const Cell& cell = cells_[first];
      const DateFormat& format = kDateFormats[cell.kind - 1];
      sheet.Format(host::Rect{cell.row, cell.column, cells_[last].row, cell.column},
                   [&format](host::CellStyle& style) { style.numberFormat = format.numberFormat; });
      if (sheet.ColumnWidth(cell.column) < format.width) sheet.SetColumnWidth(cell.column, cell.column, format.width);
      first = last + 1;
    }
    cells_.clear();
  }

 private:
  struct Cell {
    int32_t column;
    char kind;
    int32_t row;
    bool operator<(const Cell& other) const {
      return std::tie(column, kind, row) < std::tie(other.column, other.kind, other.row);
    }
  };
  std::vector<Cell> cells_;
};

}  // namespace

bool IsEncryptedPackage(const std::string& bytes) {
  static const char kName[] = {'E', 0, 'n', 0, 'c', 0, 'r', 0, 'y', 0, 'p', 0, 't', 0,
                               'i', 0, 'o', 0, 'n', 0, 'I', 0, 'n', 0, 'f', 0, 'o', 0};
  return bytes.find(std::string(kName, sizeof kName)) != std::string::npos;
}

bool HasFilePassRecord(const std::string& bytes) {
  // The BOF record of a BIFF8 workbook's globals (version 0x0600, type 0x0005):
  // a password-protected workbook has its FILEPASS record (0x002F) right after it.
  static const char kGlobalsBof[] = {'\x09', '\x08', '\x10', '\x00', '\x00', '\x06', '\x05', '\x00'};
  const std::string bof(kGlobalsBof, sizeof kGlobalsBof);
  constexpr size_t kBofSize = 4 + 16;
  for (size_t at = bytes.find(bof); at != std::string::npos; at = bytes.find(bof, at + 1)) {
    if (at + kBofSize + 2 <= bytes.size() && bytes[at + kBofSize] == '\x2f' && bytes[at + kBofSize + 1] == '\0') {
      return true;
    }
  }
  return false;
}

namespace {

// The values of an .xls file as a flat record stream, so that FreeXL can run
// in a child process: FreeXL is not safe against every damaged file, and a
// fault in it must not take the program down.
//   'D' u8            1904 date system
//   'S' u32 n, bytes  a new sheet and its name
//   'N' u32 row, u32 column, f64 value
//   'M' u32 row, u32 column, f64 value, u8 kind   a date (1), date and time (2) or time (3)
//   'T' u32 row, u32 column, u32 n, bytes
//   'E' u32 n, bytes  the reader's error message
class RecordWriter {
 public:
  void Byte(char value) { bytes_.push_back(value); }
  void Number(uint32_t value) { bytes_.append(reinterpret_cast<const char*>(&value), sizeof value); }
  void Double(double value) { bytes_.append(reinterpret_cast<const char*>(&value), sizeof value); }
  void Text(std::string_view text) {
    Number(static_cast<uint32_t>(text.size()));
    bytes_ += text;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class RecordReader {
 public:
  explicit RecordReader(const std::string& bytes) : bytes_(bytes) {}
  bool AtEnd() const { return pos_ >= bytes_.size(); }
  char Byte() {
    Need(1);
    return bytes_[pos_++];
  }
  uint32_t Number() {
    uint32_t value = 0;
    Need(sizeof value);
    std::memcpy(&value, bytes_.data() + pos_, sizeof value);
    pos_ += sizeof value;
    return value;
  }
  double Double() {
    double value = 0;
    Need(sizeof value);
    std::memcpy(&value, bytes_.data() + pos_, sizeof value);
    pos_ += sizeof value;
    return value;
  }
  std::string Text() {
    const uint32_t size = Number();
    Need(size);
    std::string text = bytes_.substr(pos_, size);
    pos_ += size;
    return text;
  }

 private:
  void Need(size_t size) const {
    if (bytes_.size() - pos_ < size) throw FormatError(kTextDamaged);
  }
  const std::string& bytes_;
  size_t pos_ = 0;
};

// Runs in the child: reads the file with FreeXL into records.
void ReadRecords(const std::string& path, RecordWriter& out) {
  XlsHandle xls(path);
  const void* handle = xls.Get();
  if (Info(handle, FREEXL_BIFF_PASSWORD) != 0 && Info(handle, FREEXL_BIFF_PASSWORD) != FREEXL_BIFF_PLAIN) {
    throw FormatError(kTextEncrypted);
  }
  const bool date1904 = Info(handle, FREEXL_BIFF_DATEMODE) == FREEXL_BIFF_DATEMODE_1904;
  out.Byte('D');
  out.Byte(date1904 ? 1 : 0);
  const unsigned int sheetCount = Info(handle, FREEXL_BIFF_SHEET_COUNT);
  for (unsigned int index = 0; index < sheetCount; ++index) {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(index), &name) != FREEXL_OK || name == nullptr) {
      throw FormatError(kTextDamaged);
    }
    out.Byte('S');
    out.Text(name);
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
        const host::Value value = ValueOf(cell, date1904);
        const char dateKind = DateKindOf(cell.type);
        if (value.IsNumber() && dateKind != 0) {
          out.Byte('M');
          out.Number(row + 1);
          out.Number(column + 1u);
          out.Double(value.Number());
          out.Byte(dateKind);
        } else if (value.IsNumber()) {
          out.Byte('N');
          out.Number(row + 1);
          out.Number(column + 1u);
          out.Double(value.Number());
        } else if (value.IsText()) {
          out.Byte('T');
          out.Number(row + 1);
          out.Number(column + 1u);
          out.Text(value.Text());
        }
      }
    }
  }
}

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Reads the file's records in a child process.
std::string RecordsOf(const std::string& path) {
  int fds[2];
  if (::pipe(fds) != 0) throw FormatError("无法启动读取进程 (cannot start the reader)");
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    throw FormatError("无法启动读取进程 (cannot start the reader)");
  }
  if (child == 0) {
    ::close(fds[0]);
    RecordWriter out;
    try {
      ReadRecords(path, out);
      WriteAll(fds[1], out.Bytes());
    } catch (const std::exception& error) {
      RecordWriter failure;
      failure.Byte('E');
      failure.Text(error.what());
      WriteAll(fds[1], failure.Bytes());
    }
    ::close(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw FormatError(kTextDamaged);
  return bytes;
}

}  // namespace

std::unique_ptr<host::ModelWorkbook> ReadXlsFile(const std::string& path, const std::string& fileName,
                                                 const std::string& folder) {
  const std::string records = RecordsOf(path);
  auto book = std::make_unique<host::ModelWorkbook>(fileName, folder);
  RecordReader in(records);
  host::ModelWorksheet* sheet = nullptr;
  DateCells dates;
  while (!in.AtEnd()) {
    const char kind = in.Byte();
    if (kind == 'E') throw FormatError(in.Text());
    if (kind == 'D') {
      book->Date1904() = in.Byte() != 0;
    } else if (kind == 'S') {
      if (sheet != nullptr) dates.ApplyTo(*sheet);
      const std::string name = in.Text();
      try {
        sheet = &book->AppendSheet(name);
      } catch (const host::RuntimeError& error) {
        throw FormatError("工作表名称“" + name + "”无效 (invalid sheet name): " + error.Description());
      }
    } else if (kind == 'N' || kind == 'T' || kind == 'M') {
      const uint32_t row = in.Number();
      const uint32_t column = in.Number();
      host::Value value = kind == 'T' ? host::Value(in.Text()) : host::Value(in.Double());
      const char dateKind = kind == 'M' ? in.Byte() : 0;
      if (sheet == nullptr || row < 1 || column < 1 || row > static_cast<uint32_t>(host::kMaxRows) ||
          column > static_cast<uint32_t>(host::kMaxColumns) || dateKind < 0 || dateKind > 3) {
        throw FormatError(kTextDamaged);
      }
      sheet->CellAt(static_cast<int32_t>(row), static_cast<int32_t>(column)).value = std::move(value);
      if (dateKind != 0) dates.Add(static_cast<int32_t>(row), static_cast<int32_t>(column), dateKind);
    } else {
      throw FormatError(kTextDamaged);
    }
  }
  if (sheet != nullptr) dates.ApplyTo(*sheet);
  if (book->SheetCount() == 0) throw FormatError("工作簿中没有工作表 (no worksheets)");
  book->SetActiveSheetIndex(1);
  book->FileOrigin().fromXls = true;
  return book;
}

}  // namespace fenban::files
