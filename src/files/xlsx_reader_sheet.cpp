// One worksheet part, read as a stream: cells, columns, rows, merges, page
// breaks, page set-up, validation and the sheet view.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>

#include "files/a1_to_r1c1.h"
#include "files/r1c1_to_a1.h"
#include "files/cell_reference.h"
#include "files/file_error.h"
#include "files/xlsx_conversions.h"
#include "files/xlsx_reader_internal.h"
#include "files/xml_parser.h"
#include "files/xml_scanner.h"
#include "host/constants.h"
#include "host/errors.h"
#include "host/model_worksheet.h"

namespace fenban::files {

namespace {

enum class CellType : uint8_t { Number, Shared, Text, Inline, Boolean, Error, Date };
enum class FormulaType : uint8_t { Normal, Shared, Other };  // Other: array and data table formulas

// Files written by scripting libraries hold formulas without results; the
// model computes them once the sheet is read.
constexpr const char* kUncomputedFormulas = "无法计算的公式 (formulas without results)";
// Longest formula text kept (a formula has at most 8,192 characters).
constexpr size_t kMaxFormulaBytes = 8192 * 4;

// A formula cell read without its result.
struct PendingFormula {
  int32_t row = 0, column = 0;
  std::string r1c1;
};

// A formula's text as the teacher sees it, with its "=".
std::string ShownFormula(std::string_view text) {
  return text.rfind('=', 0) == 0 ? std::string(text) : "=" + std::string(text);
}

// The master cell of a shared formula: its A1 text and, once needed, the
// R1C1 text every cell of the group shares.
struct SharedFormula {
  std::string a1;
  int32_t row = 0, column = 0;
  bool converted = false;
  std::optional<std::string> r1c1;
};

struct ColumnRange {
  int32_t first = 1, last = 1;
  double width = -1;  // characters; -1 when not set
  uint32_t xf = 0;
};

// The centre section of a header or footer ("&L..&C&P&R.." -> "&P").
std::string CenterSection(std::string_view text) {
  std::string center;
  char section = 'C';
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      const char code = text[i + 1];
      if (code == 'L' || code == 'C' || code == 'R') {
        section = code;
        ++i;
        continue;
      }
      if (section == 'C') {
        center.push_back('&');
        center.push_back(code);
      }
      ++i;
      continue;
    }
    if (section == 'C') center.push_back(text[i]);
  }
  return center;
}

int32_t ValidationType(const char* type) {
  if (type == nullptr) return 0;
  const std::string_view text(type);
  if (text == "whole") return 1;
  if (text == "decimal") return 2;
  if (text == "list") return host::kValidateList;
  if (text == "date") return 4;
  if (text == "time") return 5;
  if (text == "textLength") return 6;
  if (text == "custom") return 7;
  return 0;
}

int32_t ValidationOperator(const char* op) {
  if (op == nullptr) return host::kValidBetween;
  static constexpr const char* kNames[] = {"between",  "notBetween",         "equal",          "notEqual",
                                           "greaterThan", "lessThan", "greaterThanOrEqual", "lessThanOrEqual"};
  for (int32_t i = 0; i < 8; ++i) {
    if (std::strcmp(op, kNames[i]) == 0) return i + 1;
  }
  return host::kValidBetween;
}

// A validation formula as the model keeps it: a quoted list becomes its
// items ("是,否"), a number stays as it is, anything else becomes "=formula".
std::string ModelFormula(std::string text, bool list) {
  if (text.empty()) return text;
  if (list && text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    std::string items;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
      items.push_back(text[i]);
      if (text[i] == '"' && i + 2 < text.size() && text[i + 1] == '"') ++i;
    }
    return items;
  }
  if (ParseFileNumber(text)) return text;
  return "=" + text;
}

class SheetHandler : public XmlHandler {
 public:
  SheetHandler(const SheetContext& context, host::ModelWorksheet& sheet)
      : context_(context), sheet_(sheet), rows_(sheet.RowsData()), styles_(sheet.Book().Styles()) {}

  void Start(std::string_view name, const char** attrs) override {
    if (extDepth_ > 0) {
      StartExtension(name);
      return;
    }
    // The elements of a cell, met millions of times, go by their one letter.
    if (name.size() == 1) {
      switch (name[0]) {
        case 'c':
          StartCell(attrs);
          return;
        case 'v':
          if (inCell_) collect_ = hasValue_ = true;
          return;
        case 'f':
          if (inCell_) StartFormula(attrs);
          return;
        case 't':
          if (inInline_ && phonetic_ == 0) collect_ = hasValue_ = true;
          return;
        default:
          break;
      }
    }
    if (name == "row") {
      StartRow(attrs);
    } else if (name == "is") {
      if (inCell_) inInline_ = true;
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "col") {
      StartColumn(attrs);
    } else if (name == "mergeCell") {
      StartMerge(attrs);
    } else if (name == "sheetFormatPr") {
      StartFormat(attrs);
    } else if (name == "sheetView") {
      StartView(attrs);
    } else if (name == "pane") {
      StartPane(attrs);
    } else if (name == "rowBreaks") {
      inRowBreaks_ = true;
    } else if (name == "brk") {
      StartBreak(attrs);
    } else if (name == "pageMargins") {
      StartMargins(attrs);
    } else if (name == "pageSetup") {
      StartPageSetup(attrs);
    } else if (name == "printOptions") {
      sheet_.PageSetupValues().centerHorizontally = AttrTrue(FindAttr(attrs, "horizontalCentered"));
    } else if (name == "oddHeader" || name == "oddFooter") {
      headerText_.clear();
      inHeader_ = true;
    } else if (name == "dataValidation") {
      StartValidation(attrs);
    } else if (name == "formula1" || name == "formula2") {
      if (inValidation_) {
        headerText_.clear();
        inHeader_ = true;
      }
    } else if (name == "extLst") {
      extDepth_ = 1;
    } else if (name == "conditionalFormatting") {
      context_.unkept->Add("条件格式 (conditional formats)");
    } else if (name == "hyperlinks") {
      context_.unkept->Add("超链接 (hyperlinks)");
    } else if (name == "sheetProtection") {
      context_.unkept->Add("工作表保护 (sheet protection)");
    } else if (name == "customSheetView") {
      inCustomView_ = true;
    } else if (name == "autoFilter") {
      StartAutoFilter(attrs);
    } else if (name == "filterColumn") {
      inFilterColumn_ = inAutoFilter_;
    } else if (inFilterColumn_) {
      // filters, customFilters, top10, dynamicFilter, colorFilter, iconFilter:
      // the model keeps the rows they hide, not the criteria.
      context_.unkept->Add("自动筛选条件 (filter criteria)");
    }
  }

  void End(std::string_view name) override {
    if (extDepth_ > 0) {
      if (name == "extLst") --extDepth_;
      return;
    }
    if (name.size() == 1) {
      switch (name[0]) {
        case 'c':
          EndCell();
          return;
        case 'v':
        case 't':
          collect_ = false;
          return;
        case 'f':
          inFormula_ = false;
          return;
        default:
          break;
      }
    }
    if (name == "is") {
      inInline_ = false;
    } else if (name == "rPh") {
      if (phonetic_ > 0) --phonetic_;
    } else if (name == "cols") {
      FinishColumns();
    } else if (name == "rowBreaks") {
      inRowBreaks_ = false;
    } else if (name == "oddHeader") {
      sheet_.PageSetupValues().centerHeader = CenterSection(headerText_);
      inHeader_ = false;
    } else if (name == "oddFooter") {
      sheet_.PageSetupValues().centerFooter = CenterSection(headerText_);
      inHeader_ = false;
    } else if (name == "formula1" || name == "formula2") {
      if (inValidation_) (name == "formula1" ? formula1_ : formula2_) = headerText_;
      inHeader_ = false;
    } else if (name == "dataValidation") {
      EndValidation();
    } else if (name == "filterColumn") {
      inFilterColumn_ = false;
    } else if (name == "autoFilter") {
      inAutoFilter_ = false;
      inFilterColumn_ = false;
    } else if (name == "customSheetView") {
      inCustomView_ = false;
    }
  }

  void Text(std::string_view text) override {
    if (collect_) {
      text_.append(text);
    } else if (inFormula_) {
      if (formula_.size() + text.size() <= kMaxFormulaBytes) {
        formula_.append(text);
      } else {
        formulaTooLong_ = true;
      }
    } else if (inHeader_) {
      headerText_.append(text);
    }
  }

  void Finish() {
    if (!columnsDone_) FinishColumns();
    auto& breaks = sheet_.PageBreaks();
    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
    ComputeFormulas();
  }

 private:
  [[noreturn]] static void BadReference(const char* ref) {
    std::string shown(ref);
    if (shown.size() > 40) {
      size_t cut = 40;
      while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) --cut;  // whole characters only
      shown = shown.substr(0, cut) + "…";
    }
    throw FormatError("单元格引用“" + shown + "”无效或超出工作表范围 (cell reference out of the sheet)");
  }

  host::RowData& EnsureRow(int32_t row) {
    if (rows_.size() < static_cast<size_t>(row)) {
      Spend(static_cast<uint64_t>(row) - rows_.size());
      rows_.resize(static_cast<size_t>(row));
    }
    return rows_[static_cast<size_t>(row - 1)];
  }

  // Rows and cells are stored densely; a hostile file could ask for
  // millions of them with a few bytes each.
  void Spend(uint64_t slots) {
    context_.budget->cellSlots += slots;
    if (context_.budget->cellSlots > context_.budget->limit) {
      throw FormatError(std::string(kTextTooLarge) + "：单元格过多，最多约 " +
                        std::to_string(context_.budget->limit / 10000) + " 万个 (too many cells)");
    }
  }

  uint32_t XfOf(const char* value) const {
    if (value == nullptr) return 0;
    uint32_t xf = 0;
    const char* end = value + std::strlen(value);
    const auto result = std::from_chars(value, end, xf);
    if (result.ec != std::errc() || result.ptr != end || xf >= context_.styles->Count()) return 0;
    return xf;
  }

  void StartRow(const char** attrs) {
    const char* r = FindAttr(attrs, "r");
    int32_t number = lastRow_ + 1;
    if (r != nullptr) {
      const auto parsed = ParseFileInteger(r);
      if (!parsed) BadReference(r);
      number = *parsed;
    }
    if (number < 1 || number > host::kMaxRows) {
      throw FormatError("行号 " + std::to_string(number) + " 超出工作表范围 (row out of the sheet)");
    }
    currentRow_ = lastRow_ = number;
    currentColumn_ = 0;
    rowXf_ = AttrTrue(FindAttr(attrs, "customFormat")) ? XfOf(FindAttr(attrs, "s")) : 0;
    double height = -1;
    if (AttrTrue(FindAttr(attrs, "customHeight"))) {
      const char* ht = FindAttr(attrs, "ht");
      const auto value = ht != nullptr ? ParseFileNumber(ht) : std::nullopt;
      if (value && *value >= 0 && *value <= 409.5 && std::fabs(*value - sheet_.DefaultRowHeight()) > 1e-9) {
        height = *value;
      }
    }
    if (AttrTrue(FindAttr(attrs, "hidden"))) height = 0;  // the model keeps a hidden row as height 0
    if (rowXf_ != 0 || height >= 0) {
      host::RowData& row = EnsureRow(number);
      row.height = height;
      if (rowXf_ != 0) row.style = context_.styles->PoolIndex(rowXf_, styles_);
    }
  }

  void StartCell(const char** attrs) {
    inCell_ = true;
    hasValue_ = hasFormula_ = formulaTooLong_ = false;
    formulaType_ = FormulaType::Normal;
    sharedIndex_.clear();
    text_.clear();
    formula_.clear();
    if (currentRow_ == 0) currentRow_ = lastRow_ = 1;
    // One pass over the attributes: this runs for every cell of the sheet.
    const char* r = nullptr;
    const char* s = nullptr;
    const char* t = nullptr;
    for (size_t i = 0; attrs[i] != nullptr; i += 2) {
      const char* name = attrs[i];
      if (name[0] == '\0' || name[1] != '\0') {
        const std::string_view local = LocalName(name);
        if (local.size() != 1) continue;
        name = local.data();
      }
      if (name[0] == 'r') r = attrs[i + 1];
      else if (name[0] == 's') s = attrs[i + 1];
      else if (name[0] == 't') t = attrs[i + 1];
    }
    if (r != nullptr) {
      const auto position = ParseCellReference(r);
      if (!position) BadReference(r);
      cellRow_ = position->row;
      cellColumn_ = position->column;
    } else {
      cellRow_ = currentRow_;
      cellColumn_ = currentColumn_ + 1;
      if (cellColumn_ > host::kMaxColumns) BadReference("XFE");
    }
    currentColumn_ = cellColumn_;
    cellXf_ = XfOf(s);
    type_ = CellType::Number;
    if (t != nullptr) {
      const std::string_view type(t);
      if (type == "s") type_ = CellType::Shared;
      else if (type == "str") type_ = CellType::Text;
      else if (type == "inlineStr") type_ = CellType::Inline;
      else if (type == "b") type_ = CellType::Boolean;
      else if (type == "e") type_ = CellType::Error;
      else if (type == "d") type_ = CellType::Date;
    }
  }

  host::Value CellValue() {
    if (hasFormula_) {
      std::string_view formula(formula_);
      while (!formula.empty() && formula.front() == ' ') formula.remove_prefix(1);
      if (!formula.empty() && formula.front() == '=') formula.remove_prefix(1);
      if (IsErrorLiteral(formula)) return host::ErrorValue{std::string(formula)};
    }
    if (!hasValue_) return host::Value();
    switch (type_) {
      case CellType::Shared: {
        const auto index = ParseFileInteger(text_);
        const auto& strings = *context_.sharedStrings;
        if (!index || *index < 0 || static_cast<size_t>(*index) >= strings.size()) {
          throw FormatError("单元格 " + CellAddress(cellRow_, cellColumn_) + " 引用的共享字符串不存在 (missing shared string)");
        }
        return ColumnText(strings[static_cast<size_t>(*index)]);
      }
      case CellType::Text:
      case CellType::Inline:
        DecodeXmlEscapes(text_);
        return ColumnText(text_);
      case CellType::Boolean:
        if (text_ == "1" || text_ == "true") return host::Value::Boolean(true);
        if (text_ == "0" || text_ == "false") return host::Value::Boolean(false);
        return host::Value(text_);
      case CellType::Error:
        return host::ErrorValue{text_};
      case CellType::Date: {
        const auto serial = DateTimeTextToSerial(text_, context_.date1904);
        if (serial) return host::Value(*serial);
        return host::Value(text_);
      }
      case CellType::Number:
        break;
    }
    if (text_.empty()) return host::Value();
    const auto number = ParseFileNumber(text_);
    if (number) return host::Value(*number);
    return host::Value(text_);
  }

  void StartFormula(const char** attrs) {
    hasFormula_ = true;
    inFormula_ = true;
    if (const char* type = FindAttr(attrs, "t")) {
      if (std::strcmp(type, "shared") == 0) {
        formulaType_ = FormulaType::Shared;
      } else if (std::strcmp(type, "normal") != 0) {
        formulaType_ = FormulaType::Other;
      }
    }
    if (formulaType_ == FormulaType::Shared) {
      const char* si = FindAttr(attrs, "si");
      sharedIndex_ = si != nullptr ? si : "";
    }
  }

  // Remembers a formula cell read without its result, as R1C1 text to
  // compute once the sheet is read; false when it cannot be computed.
  bool RememberFormula() {
    std::string_view text(formula_);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.empty() && text.front() == '=') text.remove_prefix(1);
    std::optional<std::string> r1c1;
    if (formulaTooLong_ || formulaType_ == FormulaType::Other) {
      r1c1 = std::nullopt;
    } else if (formulaType_ == FormulaType::Shared && text.empty()) {
      // A cell of a shared formula: in R1C1 its text is the master's.
      const auto found = sharedFormulas_.find(sharedIndex_);
      if (found != sharedFormulas_.end()) {
        SharedFormula& master = found->second;
        if (!master.converted) {
          master.r1c1 = A1ToR1C1(master.a1, master.row, master.column);
          master.converted = true;
        }
        r1c1 = master.r1c1;
      }
    } else if (!text.empty()) {
      r1c1 = A1ToR1C1(text, cellRow_, cellColumn_);
    }
    if (!r1c1) {
      context_.unkept->Add(kUncomputedFormulas);
      std::string shown(text);
      if (shown.empty() && formulaType_ == FormulaType::Shared) {
        const auto found = sharedFormulas_.find(sharedIndex_);
        if (found != sharedFormulas_.end()) shown = found->second.a1;  // the group's first cell's text
      }
      sheet_.UncomputedFormulas()[{cellRow_, cellColumn_}] = ShownFormula(shown);
      return false;
    }
    pendingFormulas_.push_back(PendingFormula{cellRow_, cellColumn_, std::move(*r1c1)});
    return true;
  }

  // Computes the formulas read without results, row by row; one the model
  // cannot compute leaves its cell empty and keeps the file from being
  // overwritten.
  void ComputeFormulas() {
    std::stable_sort(pendingFormulas_.begin(), pendingFormulas_.end(),
                     [](const PendingFormula& a, const PendingFormula& b) {
                       return a.row != b.row ? a.row < b.row : a.column < b.column;
                     });
    for (const PendingFormula& pending : pendingFormulas_) {
      const host::Rect cellArea{pending.row, pending.column, pending.row, pending.column};
      bool computed = true;
      try {
        sheet_.SetFormulaR1C1(cellArea, pending.r1c1);
      } catch (const host::RuntimeError&) {
        computed = false;
      }
      host::Cell* cell = nullptr;
      if (static_cast<size_t>(pending.row) <= rows_.size()) {
        auto& cells = rows_[static_cast<size_t>(pending.row - 1)].cells;
        if (static_cast<size_t>(pending.column) <= cells.size()) cell = &cells[static_cast<size_t>(pending.column - 1)];
      }
      if (cell == nullptr) continue;
      // #NAME? is the model's answer to a function or name it does not know.
      if (computed && cell->value.IsError() && cell->value.Error().code == "#NAME?") computed = false;
      if (!computed) {
        cell->value = host::Value();
        cell->formula = 0;
        context_.unkept->Add(kUncomputedFormulas);
        const auto a1 = R1C1ToA1(pending.r1c1, pending.row, pending.column);
        sheet_.UncomputedFormulas()[{pending.row, pending.column}] = ShownFormula(a1 ? *a1 : pending.r1c1);
      }
    }
    pendingFormulas_.clear();
    sharedFormulas_.clear();
  }

  void EndCell() {
    inCell_ = collect_ = inFormula_ = inInline_ = false;
    host::Value value = CellValue();
    if (formulaType_ == FormulaType::Shared && !formula_.empty() && !formulaTooLong_) {
      SharedFormula& master = sharedFormulas_[sharedIndex_];
      master = SharedFormula{formula_, cellRow_, cellColumn_, false, std::nullopt};
    }
    if (context_.cells != nullptr) {
      context_.cells->Cell(cellRow_, cellColumn_, std::move(value));
      return;
    }
    // A formula without a result: no <v>, or an empty one that is no text.
    const bool pending = hasFormula_ && value.IsEmpty() &&
                         !(hasValue_ && (type_ == CellType::Text || type_ == CellType::Inline)) &&
                         RememberFormula();
    const uint32_t inherited =
        rowXf_ != 0 ? rowXf_
                    : (static_cast<size_t>(cellColumn_) <= columnXf_.size() ? columnXf_[static_cast<size_t>(cellColumn_ - 1)]
                                                                            : tailXf_);
    const uint32_t style = cellXf_ == inherited ? 0 : context_.styles->PoolIndex(cellXf_, styles_);
    host::RowData* row = nullptr;
    if (value.IsEmpty() && style == 0 && !pending) {
      // Nothing to keep, but a cell written earlier at this place is replaced.
      if (static_cast<size_t>(cellRow_) > rows_.size()) return;
      row = &rows_[static_cast<size_t>(cellRow_ - 1)];
      if (static_cast<size_t>(cellColumn_) > row->cells.size()) return;
    } else {
      row = &EnsureRow(cellRow_);
    }
    if (row->cells.size() < static_cast<size_t>(cellColumn_)) {
      Spend(static_cast<uint64_t>(cellColumn_) - row->cells.size());
      if (row->cells.capacity() < static_cast<size_t>(cellColumn_)) {
        row->cells.reserve(std::max(static_cast<size_t>(cellColumn_), widthHint_));
      }
      row->cells.resize(static_cast<size_t>(cellColumn_));
    }
    widthHint_ = std::max(widthHint_, static_cast<size_t>(cellColumn_));
    host::Cell& cell = row->cells[static_cast<size_t>(cellColumn_ - 1)];
    cell.value = std::move(value);
    cell.style = style;
    cell.formula = 0;
  }

  // A text read in the current cell's column. A text short enough to be
  // kept inside the value is made afresh. A column of few different longer
  // texts keeps one copy of each: every column remembers the last two
  // different such texts it gave, and a cell equal to one of them shares it.
  host::Value ColumnText(const std::string& text) {
    if (text.size() <= host::Value::kInlineTextBytes) return host::Value(std::string_view(text));
    const auto index = static_cast<size_t>(cellColumn_ - 1);
    if (recentTexts_.size() <= index) recentTexts_.resize(index + 1);
    RecentTexts& recent = recentTexts_[index];
    if (recent.last.IsText() && recent.last.Text() == text) return recent.last;
    if (recent.before.IsText() && recent.before.Text() == text) {
      std::swap(recent.last, recent.before);
      return recent.last;
    }
    recent.before = std::move(recent.last);
    recent.last = host::Value(text);
    return recent.last;
  }

  void StartColumn(const char** attrs) {
    const char* min = FindAttr(attrs, "min");
    const char* max = FindAttr(attrs, "max");
    if (min == nullptr || max == nullptr) return;
    const auto first = ParseFileInteger(min);
    const auto last = ParseFileInteger(max);
    if (!first || !last || *first < 1 || *last < *first || *first > host::kMaxColumns) {
      throw FormatError("列范围无效 (invalid column range)");
    }
    ColumnRange range;
    range.first = *first;
    range.last = std::min(*last, host::kMaxColumns);
    // Ranges do not overlap in a sound file, so together they cover the sheet's columns at most once.
    columnSpan_ += range.last - range.first + 1;
    if (columnSpan_ > 2 * int64_t{host::kMaxColumns}) throw FormatError("列范围重叠过多 (overlapping column ranges)");
    range.xf = XfOf(FindAttr(attrs, "style"));
    if (const char* width = FindAttr(attrs, "width")) {
      const auto value = ParseFileNumber(width);
      if (value && *value >= 0 && *value <= 255 + 1) {
        const double characters = ColumnWidthFromFile(*value);
        const bool custom = AttrTrue(FindAttr(attrs, "customWidth"));
        if (custom || std::fabs(characters - SavedColumnWidth(sheet_.DefaultColumnWidth())) > 1e-9) {
          range.width = characters;
        }
      }
    }
    if (AttrTrue(FindAttr(attrs, "hidden"))) range.width = 0;  // the model keeps a hidden column as width 0
    columns_.push_back(range);
  }

  // Whole-sheet formats are written as a last column range reaching the
  // sheet's last column; when the ranges leave no gap it becomes the
  // sheet's format and default width, and columns equal to it inherit.
  void FinishColumns() {
    columnsDone_ = true;
    std::sort(columns_.begin(), columns_.end(),
              [](const ColumnRange& a, const ColumnRange& b) { return a.first < b.first; });
    bool contiguous = !columns_.empty() && columns_.front().first == 1;
    for (size_t i = 1; i < columns_.size() && contiguous; ++i) {
      contiguous = columns_[i].first == columns_[i - 1].last + 1;
    }
    const bool hasTail = contiguous && columns_.back().last == host::kMaxColumns;
    ColumnRange tail;
    size_t explicitCount = columns_.size();
    if (hasTail) {
      tail = columns_.back();
      --explicitCount;
      if (tail.width >= 0) sheet_.DefaultColumnWidth() = tail.width;
      if (tail.xf != 0) sheet_.SheetStyle() = context_.styles->PoolIndex(tail.xf, styles_);
      tailXf_ = tail.xf;
    }
    auto& data = sheet_.ColumnsData();
    for (size_t i = 0; i < explicitCount; ++i) {
      const ColumnRange& range = columns_[i];
      if (columnXf_.size() < static_cast<size_t>(range.last)) columnXf_.resize(static_cast<size_t>(range.last), tailXf_);
      const double width = hasTail && range.width == tail.width ? -1 : range.width;
      const uint32_t style =
          (hasTail && range.xf == tail.xf) || range.xf == 0 ? 0 : context_.styles->PoolIndex(range.xf, styles_);
      for (int32_t c = range.first; c <= range.last; ++c) {
        columnXf_[static_cast<size_t>(c - 1)] = range.xf;
        if (width < 0 && style == 0) continue;
        if (data.size() < static_cast<size_t>(c)) data.resize(static_cast<size_t>(c));
        data[static_cast<size_t>(c - 1)].width = width;
        data[static_cast<size_t>(c - 1)].style = style;
      }
    }
    columns_.clear();
  }

  void StartMerge(const char** attrs) {
    const char* ref = FindAttr(attrs, "ref");
    if (ref == nullptr) return;
    const auto rect = ParseRangeReference(ref);
    if (!rect) BadReference(ref);
    if (rect->row1 == rect->row2 && rect->col1 == rect->col2) return;
    sheet_.Merges().push_back(*rect);
  }

  // The sheet's auto filter keeps its range; one saved with a custom view is
  // not kept.
  void StartAutoFilter(const char** attrs) {
    const char* ref = FindAttr(attrs, "ref");
    const auto rect = ref != nullptr ? ParseRangeReference(ref) : std::nullopt;
    if (inCustomView_ || !rect) {
      context_.unkept->Add("自动筛选 (auto filter)");
      return;
    }
    sheet_.AutoFilterArea() = *rect;
    inAutoFilter_ = true;
  }

  void StartFormat(const char** attrs) {
    if (const char* height = FindAttr(attrs, "defaultRowHeight")) {
      const auto value = ParseFileNumber(height);
      if (value && *value > 0 && *value <= 409.5) sheet_.DefaultRowHeight() = *value;
    }
    if (const char* width = FindAttr(attrs, "defaultColWidth")) {
      const auto value = ParseFileNumber(width);
      if (value && *value > 0 && *value <= 256) sheet_.DefaultColumnWidth() = ColumnWidthFromFile(*value);
    } else if (const char* base = FindAttr(attrs, "baseColWidth")) {
      const auto value = ParseFileInteger(base);
      if (value && *value > 0 && *value <= 255 && *value != 8) sheet_.DefaultColumnWidth() = *value + 3.0 / 7.0;
    }
  }

  void StartView(const char** attrs) {
    if (++views_ > 1) return;
    host::SheetView& view = sheet_.View();
    if (const char* zoom = FindAttr(attrs, "zoomScale")) {
      const auto value = ParseFileInteger(zoom);
      if (value && *value >= 10 && *value <= 400) view.zoom = *value;
    }
    if (const char* topLeft = FindAttr(attrs, "topLeftCell")) {
      const auto position = ParseCellReference(topLeft);
      if (position) {
        view.scrollRow = position->row;
        view.scrollColumn = position->column;
      }
    }
  }

  void StartPane(const char** attrs) {
    if (views_ != 1) return;
    host::SheetView& view = sheet_.View();
    const char* state = FindAttr(attrs, "state");
    const bool frozen = state != nullptr && (std::strcmp(state, "frozen") == 0 || std::strcmp(state, "frozenSplit") == 0);
    const auto number = [attrs](const char* name) {
      const char* text = FindAttr(attrs, name);
      const auto value = text != nullptr ? ParseFileNumber(text) : std::nullopt;
      return value && *value > 0 ? *value : 0.0;
    };
    const double xSplit = number("xSplit"), ySplit = number("ySplit");
    if (frozen) {
      view.splitRow = static_cast<int32_t>(std::min(std::round(ySplit), double{host::kMaxRows - 1}));
      view.splitColumn = static_cast<int32_t>(std::min(std::round(xSplit), double{host::kMaxColumns - 1}));
    } else {
      // A plain split is measured in twentieths of a point, with the
      // header's width; it is kept as rows and columns of default size.
      const double rowPoints = ySplit > 300 ? (ySplit - 300) / 20.0 : 0;
      const double columnPoints = xSplit > 390 ? (xSplit - 390) / 20.0 : 0;
      const double columnCharacters = ColumnWidthFromFile(columnPoints * 4.0 / 3.0 / 7.0);
      view.splitRow = static_cast<int32_t>(std::min(std::round(rowPoints / 15.0), double{host::kMaxRows - 1}));
      view.splitColumn = static_cast<int32_t>(std::min(std::round(columnCharacters / 8.43), double{host::kMaxColumns - 1}));
    }
    view.freezePanes = frozen && (view.splitRow > 0 || view.splitColumn > 0);
    if (const char* topLeft = FindAttr(attrs, "topLeftCell")) {
      const auto position = ParseCellReference(topLeft);
      if (position) {
        view.scrollRow = std::max(1, position->row - view.splitRow);
        view.scrollColumn = std::max(1, position->column - view.splitColumn);
      }
    }
  }

  void StartBreak(const char** attrs) {
    if (!inRowBreaks_) return;
    const char* id = FindAttr(attrs, "id");
    const auto row = id != nullptr ? ParseFileInteger(id) : std::nullopt;
    if (row && *row >= 1 && *row < host::kMaxRows) sheet_.PageBreaks().push_back(*row + 1);
  }

  void StartMargins(const char** attrs) {
    host::PageSetupData& setup = sheet_.PageSetupValues();
    const host::PageSetupData defaults;
    const auto read = [attrs](const char* name, double& target) {
      const char* text = FindAttr(attrs, name);
      const auto value = text != nullptr ? ParseFileNumber(text) : std::nullopt;
      if (value && *value >= 0 && *value < 100) target = PointsFromInches(*value);
    };
    read("left", setup.leftMargin);
    read("right", setup.rightMargin);
    read("top", setup.topMargin);
    read("bottom", setup.bottomMargin);
    read("header", setup.headerMargin);
    read("footer", setup.footerMargin);
    const auto differs = [](double a, double b) { return std::fabs(a - b) > 1e-6; };
    setup.marginsSet = differs(setup.leftMargin, defaults.leftMargin) || differs(setup.rightMargin, defaults.rightMargin) ||
                       differs(setup.topMargin, defaults.topMargin) ||
                       differs(setup.bottomMargin, defaults.bottomMargin) ||
                       differs(setup.headerMargin, defaults.headerMargin) ||
                       differs(setup.footerMargin, defaults.footerMargin);
  }

  void StartPageSetup(const char** attrs) {
    host::PageSetupData& setup = sheet_.PageSetupValues();
    if (const char* orientation = FindAttr(attrs, "orientation")) {
      if (std::strcmp(orientation, "portrait") == 0) setup.orientation = host::kPortrait;
      if (std::strcmp(orientation, "landscape") == 0) setup.orientation = host::kLandscape;
    }
    if (const char* scale = FindAttr(attrs, "scale")) {
      const auto value = ParseFileInteger(scale);
      if (value && *value >= 10 && *value <= 400) setup.zoom = *value;
    }
    if (const char* paper = FindAttr(attrs, "paperSize")) {
      const auto value = ParseFileInteger(paper);
      if (value && *value > 0 && *value < 256) setup.paperSize = *value;
    }
  }

  void StartValidation(const char** attrs) {
    inValidation_ = true;
    formula1_.clear();
    formula2_.clear();
    rule_ = host::ValidationRule();
    rule_.type = ValidationType(FindAttr(attrs, "type"));
    rule_.op = ValidationOperator(FindAttr(attrs, "operator"));
    if (const char* style = FindAttr(attrs, "errorStyle")) {
      if (std::strcmp(style, "warning") == 0) rule_.alertStyle = 2;
      if (std::strcmp(style, "information") == 0) rule_.alertStyle = 3;
    }
    rule_.ignoreBlank = AttrTrue(FindAttr(attrs, "allowBlank"));
    rule_.showInput = AttrTrue(FindAttr(attrs, "showInputMessage"));
    rule_.showError = AttrTrue(FindAttr(attrs, "showErrorMessage"));
    const auto text = [attrs](const char* name) {
      const char* value = FindAttr(attrs, name);
      std::string result = value != nullptr ? value : "";
      DecodeXmlEscapes(result);
      return result;
    };
    rule_.inputTitle = text("promptTitle");
    rule_.inputMessage = text("prompt");
    rule_.errorTitle = text("errorTitle");
    rule_.errorMessage = text("error");
    const char* sqref = FindAttr(attrs, "sqref");
    sqref_ = sqref != nullptr ? sqref : "";
  }

  void EndValidation() {
    inValidation_ = false;
    const bool list = rule_.type == host::kValidateList;
    rule_.formula1 = ModelFormula(formula1_, list);
    rule_.formula2 = ModelFormula(formula2_, list);
    size_t start = 0;
    while (start < sqref_.size()) {
      size_t end = sqref_.find(' ', start);
      if (end == std::string::npos) end = sqref_.size();
      const std::string piece = sqref_.substr(start, end - start);
      start = end + 1;
      if (piece.empty()) continue;
      const auto rect = ParseRangeReference(piece);
      if (!rect) BadReference(piece.c_str());
      host::ValidationRule rule = rule_;
      rule.area = *rect;
      sheet_.Validations().push_back(std::move(rule));
    }
  }

  void StartExtension(std::string_view name) {
    if (name == "extLst") ++extDepth_;
    if (name == "conditionalFormatting") context_.unkept->Add("条件格式 (conditional formats)");
    if (name == "dataValidation") context_.unkept->Add("引用其他工作表的数据验证 (cross-sheet validation)");
    if (name == "sparklineGroup") context_.unkept->Add("迷你图 (sparklines)");
  }

  const SheetContext& context_;
  host::ModelWorksheet& sheet_;
  std::vector<host::RowData>& rows_;
  host::StylePool& styles_;

  int32_t lastRow_ = 0, currentRow_ = 0, currentColumn_ = 0;
  uint32_t rowXf_ = 0;
  size_t widthHint_ = 0;

  bool inCell_ = false, collect_ = false, hasValue_ = false, hasFormula_ = false, inFormula_ = false;
  bool inInline_ = false;
  int phonetic_ = 0;
  int32_t cellRow_ = 0, cellColumn_ = 0;
  uint32_t cellXf_ = 0;
  CellType type_ = CellType::Number;
  std::string text_, formula_;
  struct RecentTexts {
    host::Value last, before;
  };
  std::vector<RecentTexts> recentTexts_;  // by column - 1

  bool formulaTooLong_ = false;
  FormulaType formulaType_ = FormulaType::Normal;
  std::string sharedIndex_;
  std::unordered_map<std::string, SharedFormula> sharedFormulas_;  // by si
  std::vector<PendingFormula> pendingFormulas_;

  std::vector<ColumnRange> columns_;
  std::vector<uint32_t> columnXf_;
  uint32_t tailXf_ = 0;
  int64_t columnSpan_ = 0;
  bool columnsDone_ = false;

  int views_ = 0;
  bool inRowBreaks_ = false;
  bool inHeader_ = false;
  std::string headerText_;

  bool inValidation_ = false;
  host::ValidationRule rule_;
  std::string formula1_, formula2_, sqref_;

  bool inCustomView_ = false, inAutoFilter_ = false, inFilterColumn_ = false;

  int extDepth_ = 0;
};

// Puts back what reading a part into a new sheet may have changed.
void ForgetReadContents(host::ModelWorksheet& sheet) {
  host::ModelWorksheet blank(sheet.Book(), sheet.Name());
  std::vector<host::RowData>().swap(sheet.RowsData());
  std::vector<host::ColumnData>().swap(sheet.ColumnsData());
  sheet.SheetStyle() = blank.SheetStyle();
  sheet.Merges().clear();
  sheet.PageBreaks().clear();
  sheet.PageSetupValues() = blank.PageSetupValues();
  sheet.Validations().clear();
  sheet.UncomputedFormulas().clear();
  sheet.AutoFilterArea().reset();
  sheet.View() = blank.View();
  sheet.DefaultRowHeight() = blank.DefaultRowHeight();
  sheet.DefaultColumnWidth() = blank.DefaultColumnWidth();
}

}  // namespace

void ReadSheetPart(const SheetContext& context, const std::string& part, host::ModelWorksheet& sheet) {
  const uint64_t slots = context.budget->cellSlots;
  {
    SheetHandler handler(context, sheet);
    if (ScanXmlEntry(*context.zip, part, handler)) {
      handler.Finish();
      return;
    }
  }
  // A part the fast scanner does not handle is read again by expat from the
  // start. Up to where the scanner stopped both gave the same events, so the
  // styles interned and the unkept parts named are the first of expat's own.
  context.budget->cellSlots = slots;
  ForgetReadContents(sheet);
  if (context.cells != nullptr) context.cells->Restart();
  SheetHandler handler(context, sheet);
  ParseXmlEntry(*context.zip, part, handler);
  handler.Finish();
}

}  // namespace fenban::files
