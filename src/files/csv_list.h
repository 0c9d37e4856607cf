// Student lists exported as CSV: the text in UTF-8 (with or without its
// byte-order mark) or GBK, fields separated by commas or tabs, quoted as
// spreadsheets quote them. Such a list is read into a new workbook that the
// data folder keeps beside the CSV; the CSV itself is left as it is.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/model_workbook.h"

namespace fenban::files {

// True for a file name ending in .csv (any letter case).
bool IsCsvName(const std::string& fileName);

// The bytes as UTF-8: a UTF-8 byte-order mark is dropped, valid UTF-8 is
// kept, anything else is read as GBK (through iconv's GB18030, which holds
// GBK). Bytes that are neither raise FormatError naming the first one.
std::string CsvTextAsUtf8(const std::string& bytes);

// The rows of a CSV text: the separator is a tab when the first line has
// more tabs than commas, else a comma; a field in double quotes may hold
// separators, line breaks and doubled quotes; CR LF ends a line as LF does.
// Blank lines at the end are dropped.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text);

// A workbook of one sheet "数据表" holding the rows, each field entered as
// if typed (host::TypedEntry: numbers stay numbers, codes with leading
// zeros and long ID numbers stay text). Named `bookName` in `folder`.
std::unique_ptr<host::ModelWorkbook> CsvWorkbook(const std::vector<std::vector<std::string>>& rows,
                                                 const std::string& bookName, const std::string& folder);

// The name of the workbook made from `csvName` in `folder`: the CSV's name
// with .xlsx ("名单.csv" gives "名单.xlsx"), or "名单(2).xlsx", "名单(3).xlsx",
// ... when that file exists.
std::string CsvWorkbookName(const std::string& folder, const std::string& csvName);

struct CsvConversion {
  std::string workbookName;  // the new workbook beside the CSV
  size_t rows = 0;           // rows read, the header row included
  std::string note;          // what was done, for the teacher
};

// Reads the CSV file folder/csvName and writes it as a new workbook beside
// it (never over a file). Raises host::RuntimeError(kErrFile) naming the
// file when it cannot be read or written.
CsvConversion ConvertCsvList(const std::string& folder, const std::string& csvName);
// The same for CSV bytes held in memory (an upload): only the new workbook
// is written.
CsvConversion ConvertCsvBytes(const std::string& bytes, const std::string& folder, const std::string& csvName);

}  // namespace fenban::files
