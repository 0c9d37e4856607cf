// Workbook files: reading .xlsx and .xls into the model, writing .xlsx, and
// saving without loss.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "host/model_workbook.h"

namespace fenban::files {

// Reads a workbook file (.xlsx, .xlsm or .xls, told by its content). The
// workbook's Name is the file name and its Path the folder. A file that
// cannot be read raises host::RuntimeError(kErrFile) whose description names
// the file and what is wrong.
std::unique_ptr<host::ModelWorkbook> ReadWorkbook(const std::string& path);

// Reads a workbook held in memory (.xlsx or .xls, told by its content);
// fileName names it in messages and becomes its Name. Failures as ReadWorkbook.
std::unique_ptr<host::ModelWorkbook> ReadWorkbookFromMemory(const void* data, size_t size,
                                                            const std::string& fileName);

// Writes the model as an .xlsx file at path (no atomic replacement).
void WriteXlsx(const host::ModelWorkbook& book, const std::string& path);

struct SaveResult {
  std::string path;     // the file written
  bool besideOriginal = false;  // true when the original was left alone
  std::string reason;   // why it was saved beside the original
};

// Saves a workbook where it came from: a temporary file in the same folder,
// renamed over the old file when complete. A workbook read from .xls, or one
// whose file holds parts the model does not keep, is saved beside the
// original under a new .xlsx name instead.
SaveResult SaveWorkbook(host::ModelWorkbook& book);

}  // namespace fenban::files
