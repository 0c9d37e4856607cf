// Pieces of the .xlsx writer: the format cache and the small edits made to
// the written package for what libxlsxwriter cannot express.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/style_pool.h"

#include "host/model_workbook.h"
#include "files/zip_writer.h"

struct lxw_workbook;
struct lxw_format;

namespace fenban::files {

// One libxlsxwriter format per format of the workbook's pool, made on first use.
class FormatCache {
 public:
  FormatCache(lxw_workbook* workbook, const host::StylePool& pool) : workbook_(workbook), pool_(pool) {}
  // nullptr for index 0 (the default format) and for unknown indexes.
  lxw_format* Get(uint32_t index);
  // Makes every format of the pool and numbers them in pool order, so that
  // two packages written from the same pool number their formats alike.
  void RegisterAll();

 private:
  lxw_workbook* workbook_;
  const host::StylePool& pool_;
  std::vector<lxw_format*> formats_;
};

// Settings libxlsxwriter 1.1.4 cannot write; they are put into the package
// after it has been written.
struct XlsxPatch {
  int32_t tabRatio = -1;                  // per mille; -1 leaves the default
  bool date1904 = false;
  std::vector<int32_t> veryHiddenSheets;  // 1-based sheet positions
  std::vector<std::pair<int32_t, std::string>> topLeftCells;  // sheet position, "C5"
  bool Empty() const { return tabRatio < 0 && !date1904 && veryHiddenSheets.empty() && topLeftCells.empty(); }
};

// Does nothing; the writer calls it so that every program that writes
// workbooks links minizip_bridge.cpp, whose minizip functions libxlsxwriter
// then calls (a static library's member is linked only when referenced).
void LinkPackageZipWriter();

// Who writes the cells of the sheet parts: our own text (SheetRowsXml), or
// libxlsxwriter's cell calls, which give the same bytes more slowly and are
// kept to compare the two with.
enum class RowWriting { Own, Library };

// WriteXlsx without naming the file: failures throw FormatError.
void WriteXlsxFile(const host::ModelWorkbook& book, const std::string& path, RowWriting rowWriting = RowWriting::Own);

// Part `name` of the package at path as it is stored, to be copied into
// another package still deflated. Throws FormatError when it is missing or
// not deflated.
ZipWriter::DeflatedEntry DeflatedPart(const std::string& path, const std::string& name);

// While one lives, the package that libxlsxwriter opens on this thread is
// written with these changes (ZipWriter::ReplaceEntry, ZipWriter::EditEntry).
// libxlsxwriter passes nothing of ours to the zip functions it calls, so
// the changes reach them through this thread's one current instance.
class PackageChanges {
 public:
  PackageChanges();
  ~PackageChanges();
  PackageChanges(const PackageChanges&) = delete;
  PackageChanges& operator=(const PackageChanges&) = delete;
  void Replace(std::string name, std::function<ZipWriter::DeflatedEntry()> take) {
    replacedName_ = std::move(name);
    take_ = std::move(take);
  }
  void Edit(std::string name, ZipWriter::Edit edit) { edits_.emplace_back(std::move(name), std::move(edit)); }
  void ApplyTo(ZipWriter& writer) const;

 private:
  std::string replacedName_;
  std::function<ZipWriter::DeflatedEntry()> take_;
  std::vector<std::pair<std::string, ZipWriter::Edit>> edits_;
  const PackageChanges* outer_;
};

// The workbook part as the patch changes it (tab ratio, 1904 dates, very
// hidden sheets); PatchesWorkbookPart tells whether it changes anything.
bool PatchesWorkbookPart(const XlsxPatch& patch);
std::string PatchWorkbookPart(std::string xml, const XlsxPatch& patch);

// Applies the patch's scroll positions to the .xlsx file at path (the
// workbook part is patched as it is written). Throws FormatError on failure.
void ApplyXlsxPatch(const std::string& path, const XlsxPatch& patch);

}  // namespace fenban::files
