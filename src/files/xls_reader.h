// Reading .xls (BIFF) workbooks with FreeXL: sheet names and cell values.
#pragma once

#include <memory>
#include <string>

#include "host/model_workbook.h"

namespace fenban::files {

// Reads the .xls file at path into a new workbook named fileName in folder.
// FreeXL runs in a child process, so a damaged file that upsets it cannot
// harm the program. Throws FormatError when the file cannot be read.
std::unique_ptr<host::ModelWorkbook> ReadXlsFile(const std::string& path, const std::string& fileName,
                                                 const std::string& folder);

// True when an OLE2 compound file holds an encrypted OOXML package (its
// directory names the EncryptionInfo stream).
bool IsEncryptedPackage(const std::string& bytes);

// True when an .xls file's workbook is password-protected: a FILEPASS record
// follows the BOF record of its globals.
bool HasFilePassRecord(const std::string& bytes);

}  // namespace fenban::files
