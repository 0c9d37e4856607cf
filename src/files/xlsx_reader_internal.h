// Pieces of the .xlsx reader: the package (content types, relationships),
// the workbook part, shared strings, styles and sheets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/model_workbook.h"
#include "host/style.h"

namespace fenban::files {

class ZipArchive;

// Names of the parts the model does not keep, in the order found, each once.
class UnkeptParts {
 public:
  void Add(const std::string& what);
  const std::vector<std::string>& List() const { return list_; }

 private:
  std::vector<std::string> list_;
};

// ---- package ------------------------------------------------------------

struct Relationship {
  std::string id;
  std::string type;    // the last segment of the relationship type ("worksheet", "styles", ...)
  std::string target;  // part name inside the archive, or the external address
  bool external = false;
};

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string RelationshipsPartOf(const std::string& part);
// Resolves a relationship target against the folder of its source part.
std::string ResolvePartName(const std::string& sourcePart, const std::string& target);
// The relationships of a part; none when it has no relationships part.
std::vector<Relationship> ReadRelationships(const ZipArchive& zip, const std::string& sourcePart);
// The workbook part named by the package relationships ("" when none).
std::string FindWorkbookPart(const ZipArchive& zip);
// Content type of the workbook part ("" when unknown).
std::string ContentTypeOf(const ZipArchive& zip, const std::string& part);
// Records the parts of the archive that the model does not keep, by their names.
void CollectUnkeptPackageParts(const ZipArchive& zip, UnkeptParts& unkept);

// ---- workbook part ------------------------------------------------------

struct SheetEntry {
  std::string name;
  std::string kind;  // relationship type: "worksheet", "chartsheet", "dialogsheet", "xlMacrosheet", ...
  std::string part;  // "" when the relationship is missing
  int32_t visible = host::kSheetVisible;
};

struct WorkbookInfo {
  std::vector<SheetEntry> sheets;
  int32_t activeTab = 0;  // 0-based over all sheet entries
  double tabRatio = 0.6;
  bool date1904 = false;
  std::unordered_map<int32_t, std::string> printTitles;  // localSheetId -> "Sheet1!$1:$2"
  std::unordered_map<int32_t, std::string> printAreas;   // localSheetId -> "'Sheet 1'!$A$1:$P$401"
  std::string sharedStringsPart, stylesPart;
};

WorkbookInfo ReadWorkbookPart(const ZipArchive& zip, const std::string& workbookPart, UnkeptParts& unkept);
// Rows of a print titles definition ("'A b'!$1:$2", "S!$A:$B,S!$1:$3"); false when none.
bool ParsePrintTitleRows(const std::string& definition, int32_t& firstRow, int32_t& lastRow);
// The single area of sheet `sheetName` a print area definition names
// ("'Sheet 1'!$A$1:$P$401", "S!$A:$C", "S!$1:$9"); nullopt for several areas,
// another sheet or anything else.
std::optional<host::Rect> ParsePrintArea(const std::string& definition, const std::string& sheetName);

// ---- shared strings -----------------------------------------------------

std::vector<std::string> ReadSharedStrings(const ZipArchive& zip, const std::string& part);

// ---- styles -------------------------------------------------------------

// The cell formats (cellXfs) of a styles part, translated to the model's
// CellStyle, and interned into a workbook's pool on first use.
class StyleTable {
 public:
  StyleTable() = default;
  void Read(const ZipArchive& zip, const std::string& part);
  size_t Count() const { return formats_.size(); }
  // Pool index of cell format xf (0 for the default format or an unknown xf).
  uint32_t PoolIndex(uint32_t xf, host::StylePool& pool);
  // Built-in number format codes by id ("" for unknown ids).
  static std::string BuiltinNumberFormat(int32_t id);
  // Appends a translated format (used by the parser).
  std::vector<host::CellStyle>& Formats() { return formats_; }

 private:
  std::vector<host::CellStyle> formats_;
  std::vector<uint32_t> poolIndex_;
};

// ---- sheets -------------------------------------------------------------

// Limits that protect the model from a hostile sheet.
struct ReadBudget {
  // Row and cell slots the model allocates (rows are stored densely up to
  // their last row, cells up to their last cell); about 50 bytes each. A
  // sheet full of students (1,048,575 rows of 16 columns) must still fit,
  // while a hostile file cannot make the model take more than a few GB.
  uint64_t cellSlots = 0;
  static constexpr uint64_t kMaxCellSlots = uint64_t{32} << 20;
  uint64_t limit = kMaxCellSlots;
};

// Takes the cells of a sheet as they are read, in the order of the file, in
// place of the sheet: the read-back check compares them with the model as
// they pass instead of building a second one.
class CellSink {
 public:
  virtual ~CellSink() = default;
  // A cell as the file holds it (empty for a cell with only a format);
  // row and column are 1-based.
  virtual void Cell(int32_t row, int32_t column, host::Value value) = 0;
  // The part is read again from its start: the cells given so far are forgotten.
  virtual void Restart() = 0;
};

struct SheetContext {
  const ZipArchive* zip = nullptr;
  const std::vector<std::string>* sharedStrings = nullptr;
  StyleTable* styles = nullptr;
  ReadBudget* budget = nullptr;
  UnkeptParts* unkept = nullptr;
  bool date1904 = false;
  // When set, cell values go here and not into the sheet (formulas without
  // results are passed on as empty cells, not computed).
  CellSink* cells = nullptr;
};

// Reads one worksheet part into sheet, a sheet just appended.
void ReadSheetPart(const SheetContext& context, const std::string& part, host::ModelWorksheet& sheet);
// Records the parts a sheet relates to that the model does not keep.
void CollectUnkeptSheetRelations(const ZipArchive& zip, const std::string& part, UnkeptParts& unkept);

// Reads the .xlsx package in zip into a new workbook named fileName in folder.
// maxSlots bounds the rows and cells the model may allocate (see ReadBudget).
std::unique_ptr<host::ModelWorkbook> ReadXlsxArchive(const ZipArchive& zip, const std::string& fileName,
                                                     const std::string& folder,
                                                     uint64_t maxSlots = ReadBudget::kMaxCellSlots);

}  // namespace fenban::files
