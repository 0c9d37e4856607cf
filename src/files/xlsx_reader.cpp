// Reads an .xlsx package into the model: the workbook part first, then
// shared strings and styles, then each worksheet in order.
#include <algorithm>

#include "files/file_error.h"
#include "files/xlsx_reader_internal.h"
#include "files/zip_archive.h"
#include "host/errors.h"
#include "host/model_worksheet.h"

namespace fenban::files {

std::unique_ptr<host::ModelWorkbook> ReadXlsxArchive(const ZipArchive& zip, const std::string& fileName,
                                                     const std::string& folder, uint64_t maxSlots) {
  if (zip.Has("EncryptionInfo") || zip.Has("EncryptedPackage")) throw FormatError(kTextEncrypted);
  const std::string workbookPart = FindWorkbookPart(zip);
  if (workbookPart.empty()) throw FormatError(kTextNotWorkbook);

  UnkeptParts unkept;
  const std::string contentType = ContentTypeOf(zip, workbookPart);
  if (contentType.find("macroEnabled") != std::string::npos) unkept.Add("宏 (macros)");
  WorkbookInfo info = ReadWorkbookPart(zip, workbookPart, unkept);
  CollectUnkeptPackageParts(zip, unkept);

  std::vector<std::string> sharedStrings;
  if (!info.sharedStringsPart.empty() && zip.Has(info.sharedStringsPart)) {
    sharedStrings = ReadSharedStrings(zip, info.sharedStringsPart);
  }
  StyleTable styles;
  if (!info.stylesPart.empty() && zip.Has(info.stylesPart)) styles.Read(zip, info.stylesPart);

  auto book = std::make_unique<host::ModelWorkbook>(fileName, folder);
  book->Date1904() = info.date1904;
  host::SkipOnError([&] { book->SetTabRatio(info.tabRatio); });

  ReadBudget budget;
  budget.limit = maxSlots;
  SheetContext context;
  context.zip = &zip;
  context.sharedStrings = &sharedStrings;
  context.styles = &styles;
  context.budget = &budget;
  context.unkept = &unkept;
  context.date1904 = info.date1904;

  // Model index (1-based) of each sheet entry; 0 for entries the model does not keep.
  std::vector<int32_t> modelIndex(info.sheets.size(), 0);
  for (size_t i = 0; i < info.sheets.size(); ++i) {
    const SheetEntry& entry = info.sheets[i];
    if (entry.kind == "chartsheet") {
      unkept.Add("图表工作表 (chart sheets)");
      continue;
    }
    if (entry.kind == "dialogsheet") {
      unkept.Add("对话框工作表 (dialog sheets)");
      continue;
    }
    if (entry.kind != "worksheet") {
      unkept.Add("宏表 (macro sheets)");
      continue;
    }
    if (entry.part.empty() || !zip.Has(entry.part)) {
      throw FormatError("缺少工作表“" + entry.name + "”的内容 (a worksheet part is missing)");
    }
    for (size_t k = 0; k < i; ++k) {
      if (modelIndex[k] != 0 && zip.StoredName(info.sheets[k].part) == zip.StoredName(entry.part)) {
        throw FormatError("两张工作表共用同一个部件 (two sheets share one part)");
      }
    }
    host::ModelWorksheet* sheet = nullptr;
    try {
      sheet = &book->AppendSheet(entry.name);
    } catch (const host::RuntimeError& error) {
      throw FormatError("工作表名称“" + entry.name + "”无效 (invalid sheet name): " + error.Description());
    }
    ReadSheetPart(context, entry.part, *sheet);
    CollectUnkeptSheetRelations(zip, entry.part, unkept);
    modelIndex[i] = book->SheetCount();
  }
  if (book->SheetCount() == 0) throw FormatError("工作簿中没有工作表 (no worksheets)");

  for (const auto& [localSheet, definition] : info.printTitles) {
    if (localSheet < 0 || static_cast<size_t>(localSheet) >= modelIndex.size()) continue;
    const int32_t index = modelIndex[static_cast<size_t>(localSheet)];
    if (index == 0) continue;
    int32_t first = 0, last = 0;
    if (ParsePrintTitleRows(definition, first, last)) {
      auto& setup = book->ModelSheetAt(index).PageSetupValues();
      setup.printTitleFirstRow = first;
      setup.printTitleLastRow = last;
    }
  }

  for (const auto& [localSheet, definition] : info.printAreas) {
    if (localSheet < 0 || static_cast<size_t>(localSheet) >= modelIndex.size()) continue;
    const int32_t index = modelIndex[static_cast<size_t>(localSheet)];
    if (index == 0) continue;
    if (const auto area = ParsePrintArea(definition, info.sheets[static_cast<size_t>(localSheet)].name)) {
      book->ModelSheetAt(index).PrintArea() = *area;
    } else {
      unkept.Add("打印区域 (print area)");
    }
  }

  for (size_t i = 0; i < info.sheets.size(); ++i) {
    if (modelIndex[i] == 0 || info.sheets[i].visible == host::kSheetVisible) continue;
    const int32_t visible = info.sheets[i].visible;
    // A file whose every sheet is hidden keeps its last one visible.
    host::SkipOnError([&] { book->ModelSheetAt(modelIndex[i]).SetVisible(visible); });
  }
  int32_t active = 0;
  if (info.activeTab >= 0 && static_cast<size_t>(info.activeTab) < modelIndex.size()) {
    active = modelIndex[static_cast<size_t>(info.activeTab)];
  }
  if (active == 0 || book->ModelSheetAt(active).Visible() != host::kSheetVisible) {
    active = 0;
    for (int32_t i = 1; i <= book->SheetCount() && active == 0; ++i) {
      if (book->ModelSheetAt(i).Visible() == host::kSheetVisible) active = i;
    }
    if (active == 0) active = 1;
  }
  book->SetActiveSheetIndex(active);
  book->FileOrigin().unkeptParts = unkept.List();
  return book;
}

}  // namespace fenban::files
