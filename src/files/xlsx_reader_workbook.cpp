// The workbook part: sheets in order, their visibility, the active tab,
// the tab ratio, the date system and the print titles.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "files/cell_reference.h"

#include "files/file_error.h"
#include "files/xlsx_conversions.h"
#include "files/xlsx_reader_internal.h"
#include "files/xml_parser.h"
#include "files/zip_archive.h"

namespace fenban::files {

namespace {

struct RawSheet {
  std::string name, relationId;
  int32_t visible = host::kSheetVisible;
};

class WorkbookHandler : public XmlHandler {
 public:
  WorkbookHandler(WorkbookInfo& info, UnkeptParts& unkept) : info_(info), unkept_(unkept) {}

  void Start(std::string_view name, const char** attrs) override {
    if (name == "sheet") {
      RawSheet sheet;
      const char* sheetName = FindAttr(attrs, "name");
      if (sheetName == nullptr) throw FormatError("工作表缺少名称 (a sheet has no name)");
      sheet.name = sheetName;
      DecodeXmlEscapes(sheet.name);
      const char* relation = FindAttr(attrs, "id");
      if (relation != nullptr) sheet.relationId = relation;
      const char* state = FindAttr(attrs, "state");
      if (state != nullptr && std::strcmp(state, "hidden") == 0) sheet.visible = host::kSheetHidden;
      if (state != nullptr && std::strcmp(state, "veryHidden") == 0) sheet.visible = host::kSheetVeryHidden;
      sheets.push_back(std::move(sheet));
    } else if (name == "workbookPr") {
      info_.date1904 = AttrTrue(FindAttr(attrs, "date1904"));
    } else if (name == "workbookView") {
      if (seenView_) return;  // the first window is the one shown
      seenView_ = true;
      if (const char* tab = FindAttr(attrs, "activeTab")) {
        const auto index = ParseFileInteger(tab);
        if (index && *index >= 0) info_.activeTab = *index;
      }
      if (const char* ratio = FindAttr(attrs, "tabRatio")) {
        const auto value = ParseFileNumber(ratio);
        if (value && *value >= 0 && *value <= 1000) info_.tabRatio = *value / 1000.0;
      }
    } else if (name == "definedName") {
      inName_ = true;
      nameText_.clear();
      const char* nameAttr = FindAttr(attrs, "name");
      definedName_ = nameAttr != nullptr ? nameAttr : "";
      localSheet_ = -1;
      if (const char* local = FindAttr(attrs, "localSheetId")) {
        const auto id = ParseFileInteger(local);
        if (id) localSheet_ = *id;
      }
      hiddenName_ = AttrTrue(FindAttr(attrs, "hidden"));
    } else if (name == "workbookProtection") {
      // Some programs write the element empty, which protects nothing.
      bool locks = false;
      for (const char* attr : {"lockStructure", "lockWindows", "lockRevision"}) {
        locks = locks || AttrTrue(FindAttr(attrs, attr));
      }
      for (const char* attr : {"workbookPassword", "revisionsPassword", "workbookHashValue", "revisionsHashValue"}) {
        locks = locks || FindAttr(attrs, attr) != nullptr;
      }
      if (locks) unkept_.Add("工作簿保护 (workbook protection)");
    }
  }

  void End(std::string_view name) override {
    if (name != "definedName" || !inName_) return;
    inName_ = false;
    if (definedName_ == "_xlnm.Print_Titles") {
      if (localSheet_ >= 0) info_.printTitles[localSheet_] = nameText_;
    } else if (definedName_ == "_xlnm.Print_Area") {
      // Read with the sheets; a print area that belongs to no sheet is not kept.
      if (localSheet_ >= 0) {
        info_.printAreas[localSheet_] = nameText_;
      } else {
        unkept_.Add("打印区域 (print area)");
      }
    } else if (definedName_.rfind("_xlnm.", 0) != 0 && !hiddenName_) {
      unkept_.Add("名称 (defined names)");
    }
  }

  void Text(std::string_view text) override {
    if (inName_) nameText_.append(text);
  }

  std::vector<RawSheet> sheets;

 private:
  WorkbookInfo& info_;
  UnkeptParts& unkept_;
  bool seenView_ = false;
  bool inName_ = false;
  bool hiddenName_ = false;
  std::string definedName_, nameText_;
  int32_t localSheet_ = -1;
};

}  // namespace

WorkbookInfo ReadWorkbookPart(const ZipArchive& zip, const std::string& workbookPart, UnkeptParts& unkept) {
  WorkbookInfo info;
  WorkbookHandler handler(info, unkept);
  ParseXmlEntry(zip, workbookPart, handler);

  const std::vector<Relationship> rels = ReadRelationships(zip, workbookPart);
  for (const auto& rel : rels) {
    if (rel.external) continue;
    if (rel.type == "sharedStrings" && info.sharedStringsPart.empty()) info.sharedStringsPart = rel.target;
    if (rel.type == "styles" && info.stylesPart.empty()) info.stylesPart = rel.target;
  }
  for (auto& raw : handler.sheets) {
    SheetEntry entry;
    entry.name = std::move(raw.name);
    entry.visible = raw.visible;
    entry.kind = "worksheet";
    for (const auto& rel : rels) {
      if (rel.id == raw.relationId && !rel.external) {
        entry.kind = rel.type;
        entry.part = rel.target;
        break;
      }
    }
    info.sheets.push_back(std::move(entry));
  }
  return info;
}

bool ParsePrintTitleRows(const std::string& definition, int32_t& firstRow, int32_t& lastRow) {
  // Areas are separated by commas outside quoted sheet names.
  size_t start = 0;
  bool quoted = false;
  for (size_t i = 0; i <= definition.size(); ++i) {
    if (i < definition.size()) {
      if (definition[i] == '\'') quoted = !quoted;
      if (quoted || definition[i] != ',') continue;
    }
    std::string_view area(definition.data() + start, i - start);
    start = i + 1;
    const size_t bang = area.rfind('!');
    if (bang != std::string_view::npos) area.remove_prefix(bang + 1);
    const size_t colon = area.find(':');
    if (colon == std::string_view::npos) continue;
    auto parseRow = [](std::string_view text) -> int32_t {
      if (!text.empty() && text.front() == '$') text.remove_prefix(1);
      if (text.empty() || text.front() < '0' || text.front() > '9') return 0;
      const auto value = ParseFileInteger(text);
      return value && *value >= 1 && *value <= host::kMaxRows ? *value : 0;
    };
    const int32_t first = parseRow(area.substr(0, colon));
    const int32_t last = parseRow(area.substr(colon + 1));
    if (first > 0 && last >= first) {
      firstRow = first;
      lastRow = last;
      return true;
    }
  }
  return false;
}

std::optional<host::Rect> ParsePrintArea(const std::string& definition, const std::string& sheetName) {
  // The sheet name runs to the last '!' outside quotes; a comma outside
  // quotes starts another area.
  size_t bang = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < definition.size(); ++i) {
    if (definition[i] == '\'') quoted = !quoted;
    if (quoted) continue;
    if (definition[i] == ',') return std::nullopt;
    if (definition[i] == '!') bang = i;
  }
  if (bang == std::string::npos || quoted) return std::nullopt;
  std::string_view name(definition.data(), bang);
  std::string unquoted;
  if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
    name = name.substr(1, name.size() - 2);
    for (size_t i = 0; i < name.size(); ++i) {
      unquoted.push_back(name[i]);
      if (name[i] == '\'' && i + 1 < name.size() && name[i + 1] == '\'') ++i;
    }
  } else {
    unquoted = name;
  }
  if (unquoted != sheetName) return std::nullopt;
  const std::string_view area = std::string_view(definition).substr(bang + 1);
  if (const auto rect = ParseRangeReference(area)) return rect;
  // Entire columns ("$A:$C") or entire rows ("$1:$9").
  const size_t colon = area.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto first = ParseCellReference(std::string(area.substr(0, colon)) + "1");
  const auto last = ParseCellReference(std::string(area.substr(colon + 1)) + "1");
  if (first && last && first->row == 1 && last->row == 1) {
    return host::Rect{1, std::min(first->column, last->column), host::kMaxRows, std::max(first->column, last->column)};
  }
  const auto top = ParseCellReference("A" + std::string(area.substr(0, colon)));
  const auto bottom = ParseCellReference("A" + std::string(area.substr(colon + 1)));
  if (top && bottom && top->column == 1 && bottom->column == 1) {
    return host::Rect{std::min(top->row, bottom->row), 1, std::max(top->row, bottom->row), host::kMaxColumns};
  }
  return std::nullopt;
}

}  // namespace fenban::files
