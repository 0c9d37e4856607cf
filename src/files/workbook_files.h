// Workbook files: reading .xlsx and .xls into the model, writing .xlsx, and
// saving without loss.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/temporary_files.h"
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

// The name of the copy saved beside a workbook that cannot be replaced in
// place: "名单.xls" gives "名单(fenban).xlsx".
std::string KeptCopyName(const std::string& bookName);

struct SaveResult {
  std::string path;     // the file written
  bool besideOriginal = false;  // true when the original was left alone
  std::string reason;   // why it was saved beside the original
};

// A workbook written to a temporary file beside the file it is to replace
// (the real file when the workbook's file is a symbolic link), flushed to
// the disk and read back identical to the model; only the rename is left.
struct PreparedSave {
  host::ModelWorkbook* book = nullptr;
  std::string target;  // the file the rename replaces
  TemporaryFile temporary;
  SaveResult result;
};

// Where a test steps into a save; a seam left empty changes nothing.
struct SaveSeam {
  // Writes the model into the temporary file in place of the .xlsx writer.
  std::function<void(const host::ModelWorkbook&, const std::string& path)> write;
  // Called after each rename but the last, with the number renamed so far.
  std::function<void(size_t renamed)> betweenRenames;
  // Called when the written file is about to be read back and checked.
  std::function<void()> checking;
};

// Saving happens in two steps, so that several workbooks are either all
// replaced or all left as they were. PrepareSave writes and checks: where
// the workbook came from, or, for a workbook read from .xls or one whose
// file holds parts the model does not keep, beside the original under a new
// .xlsx name. Nothing is replaced yet. A failure raises
// host::RuntimeError(kErrFile) naming the file, and leaves no file behind.
PreparedSave PrepareSave(host::ModelWorkbook& book, const SaveSeam& seam = {});

// Renames each prepared file over its target, in order, with SIGINT, SIGTERM
// and SIGHUP held off. With more than one, the journal file lists the
// targets and temporary files from before the first rename until after the
// last, so that a run killed between two renames is noticed by the next one
// (TakeInterruptedSaves). Raises host::RuntimeError(kErrFile) when the journal
// cannot be written (nothing replaced) or a rename fails.
std::vector<SaveResult> CommitSaves(std::vector<PreparedSave>& saves, const std::string& journal,
                                    const SaveSeam& seam = {});

// PrepareSave and CommitSaves for one workbook.
SaveResult SaveWorkbook(host::ModelWorkbook& book);

// Writes the model to target the same way (temporary file, read back,
// rename), without the choice of a name beside the original.
void WriteXlsxReplacing(const host::ModelWorkbook& book, const std::string& target);
// Writes the model as a new .xlsx file at target the same way, but never
// over a file: false (nothing written) when target exists.
bool WriteXlsxNew(const host::ModelWorkbook& book, const std::string& target);
// Writes a text file to target through a temporary file and a rename.
void WriteTextReplacing(const std::string& text, const std::string& target);

// Finishes or undoes what a run killed between its renames left, and says
// what that was: each target of the journal, and whether it now holds the
// new file. When at least one new file had replaced its target, each other
// one still beside its target is renamed over it now (finishedNow), unless
// it no longer reads as a workbook or its target was changed after the
// journal was written; a new file not renamed is removed. So is the
// journal. Empty when there is no journal.
struct InterruptedSave {
  std::string target;
  bool replaced = false;     // the target holds the new file
  bool finishedNow = false;  // renamed into place by this call
};
std::vector<InterruptedSave> TakeInterruptedSaves(const std::string& journal);

}  // namespace fenban::files
