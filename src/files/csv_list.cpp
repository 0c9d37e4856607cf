#include "files/csv_list.h"

#include <iconv.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/file_error.h"
#include "files/workbook_files.h"
#include "host/typed_entry.h"

namespace fenban::files {

namespace {

constexpr const char* kSheetName = "数据表";
constexpr int kNameAttempts = 100;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// GBK (as GB18030) to UTF-8 through iconv.
std::string FromGbk(const std::string& bytes) {
  iconv_t converter = ::iconv_open("UTF-8", "GB18030");
  if (converter == reinterpret_cast<iconv_t>(-1)) throw FormatError("这台电脑不能转换 GBK 编码 (GBK conversion is not available)");
  std::string out(bytes.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    if (::iconv(converter, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      const size_t used = static_cast<size_t>(outPtr - out.data());
      out.resize(out.size() * 2);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    const size_t at = bytes.size() - inLeft;
    ::iconv_close(converter);
    throw FormatError("第 " + std::to_string(at + 1) + " 个字节起既不是 UTF-8 也不是 GBK 编码的文字，请在表格程序里另存为 "
                      "UTF-8 的 CSV 或 .xlsx (the text is neither UTF-8 nor GBK)");
  }
  ::iconv_close(converter);
  out.resize(static_cast<size_t>(outPtr - out.data()));
  return out;
}

char SeparatorOf(const std::string& text) {
  size_t tabs = 0, commas = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n') break;
    tabs += c == '\t' ? 1 : 0;
    commas += c == ',' ? 1 : 0;
  }
  return tabs > commas ? '\t' : ',';
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw FormatError("打不开文件 (cannot open the file)");
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::string Stem(const std::string& csvName) { return std::filesystem::path(csvName).stem().string(); }

}  // namespace

bool IsCsvName(const std::string& fileName) {
  if (fileName.size() < 4) return false;
  std::string ending = fileName.substr(fileName.size() - 4);
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ending == ".csv";
}

std::string CsvTextAsUtf8(const std::string& bytes) {
  if (bytes.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
    std::string text = bytes.substr(kByteOrderMark.size());
    if (!IsValidUtf8(text)) throw FormatError("文件开头标明是 UTF-8，但内容不是 UTF-8 (marked UTF-8 but is not)");
    return text;
  }
  if (IsValidUtf8(bytes)) return bytes;
  return FromGbk(bytes);
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  const char separator = SeparatorOf(text);
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  bool lineHasContent = false;
  auto endField = [&] {
    row.push_back(std::move(field));
    field.clear();
  };
  auto endLine = [&] {
    endField();
    rows.push_back(std::move(row));
    row.clear();
    lineHasContent = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
      continue;
    }
    if (c == '"' && field.empty()) {
      quoted = true;
      lineHasContent = true;
    } else if (c == separator) {
      endField();
      lineHasContent = true;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    } else if (c == '\n' || c == '\r') {
      endLine();
    } else {
      field += c;
      lineHasContent = true;
    }
  }
  if (lineHasContent || !field.empty() || !row.empty()) endLine();
  auto blank = [](const std::vector<std::string>& line) {
    for (const std::string& value : line) {
      if (!value.empty()) return false;
    }
    return true;
  };
  while (!rows.empty() && blank(rows.back())) rows.pop_back();
  return rows;
}

std::unique_ptr<host::ModelWorkbook> CsvWorkbook(const std::vector<std::vector<std::string>>& rows,
                                                 const std::string& bookName, const std::string& folder) {
  auto book = std::make_unique<host::ModelWorkbook>(bookName, folder);
  host::Worksheet& sheet = book->AppendSheet(kSheetName);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      host::Value value = host::TypedEntry(rows[r][c]);
      if (!value.IsEmpty()) sheet.SetCellValue(static_cast<int32_t>(r + 1), static_cast<int32_t>(c + 1), std::move(value));
    }
  }
  return book;
}

std::string CsvWorkbookName(const std::string& folder, const std::string& csvName) {
  const std::string stem = Stem(csvName);
  std::error_code ec;
  std::string name = stem + ".xlsx";
  for (int n = 2; std::filesystem::exists(std::filesystem::path(folder) / name, ec); ++n) {
    name = stem + "(" + std::to_string(n) + ").xlsx";
  }
  return name;
}

CsvConversion ConvertCsvBytes(const std::string& bytes, const std::string& folder, const std::string& csvName) {
  const std::string csvPath = (std::filesystem::path(folder) / csvName).string();
  std::vector<std::vector<std::string>> rows;
  try {
    rows = ParseCsv(CsvTextAsUtf8(bytes));
  } catch (const FormatError& failure) {
    RaiseReadError(csvPath, failure.what());
  }
  if (rows.empty()) RaiseReadError(csvPath, "文件是空的，没有表头也没有学生 (the file is empty)");
  CsvConversion conversion;
  conversion.rows = rows.size();
  // A name taken meanwhile is passed over for the next one.
  bool written = false;
  for (int attempt = 0; attempt < kNameAttempts && !written; ++attempt) {
    conversion.workbookName = CsvWorkbookName(folder, csvName);
    const std::unique_ptr<host::ModelWorkbook> book = CsvWorkbook(rows, conversion.workbookName, folder);
    written = WriteXlsxNew(*book, (std::filesystem::path(folder) / conversion.workbookName).string());
  }
  if (!written) RaiseWriteError(csvPath, "找不到没有用过的文件名 (no free file name)");
  conversion.note = "已把 " + csvName + " 读成新工作簿 " + conversion.workbookName + "（" + std::to_string(rows.size()) +
                    " 行，工作表“数据表”）。";
  return conversion;
}

CsvConversion ConvertCsvList(const std::string& folder, const std::string& csvName) {
  const std::string csvPath = (std::filesystem::path(folder) / csvName).string();
  std::string bytes;
  try {
    bytes = ReadBytes(csvPath);
  } catch (const FormatError& failure) {
    RaiseReadError(csvPath, failure.what());
  }
  CsvConversion conversion = ConvertCsvBytes(bytes, folder, csvName);
  conversion.note += csvName + " 没有改动，以后分班请用 " + conversion.workbookName + "。";
  return conversion;
}

}  // namespace fenban::files
