// Writes the model as an .xlsx file with libxlsxwriter: every sheet in
// order, values and formulas with their results, formats, column widths,
// row heights, merges, page breaks, page set-up, validation and views.
#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <ctime>
#include <memory>
#include <thread>
#include <utility>

#include "files/cell_reference.h"
#include "files/file_error.h"
#include "files/r1c1_to_a1.h"
#include "files/sheet_rows_xml.h"
#include "files/temporary_files.h"
#include "files/workbook_files.h"
#include "files/xlsx_conversions.h"
#include "files/xlsx_writer_internal.h"
#include "host/constants.h"
#include "host/model_worksheet.h"

namespace fenban::files {

namespace {

constexpr size_t kMaxCellCharacters = 32767;

struct WorkbookFree {
  void operator()(lxw_workbook* workbook) const { lxw_workbook_free(workbook); }
};

// A call that libxlsxwriter refused: the write fails rather than leave a
// cell or a setting out of the file.
void Check(lxw_error error) {
  if (error != LXW_NO_ERROR) throw FormatError(std::string("写入失败 (cannot write: ") + lxw_strerror(error) + ")");
}

// libxlsxwriter reports its failures on standard error as well as in its
// return codes; the return codes become the program's own message, so its
// lines are kept from the terminal while a workbook is written (the second
// writer thread runs inside that time too).
class LibraryOutputSilenced {
 public:
  LibraryOutputSilenced() {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
  }
  ~LibraryOutputSilenced() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  LibraryOutputSilenced(const LibraryOutputSilenced&) = delete;
  LibraryOutputSilenced& operator=(const LibraryOutputSilenced&) = delete;

 private:
  int saved_ = -1;
};

// Text as a cell may hold it: literal escape sequences protected, cut at
// the most characters a cell can hold.
std::string CellText(std::string_view text) {
  std::string out = EscapeLiteralEscapes(text);
  size_t characters = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    if ((static_cast<unsigned char>(out[i]) & 0xC0) != 0x80 && ++characters > kMaxCellCharacters) {
      out.resize(i);
      break;
    }
  }
  return out;
}

// The first `limit` characters of a text (Excel's limits on validation
// titles and messages, headers and footers, which libxlsxwriter enforces by
// dropping the whole setting).
std::string Clipped(const std::string& text, size_t limit) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > limit) return text.substr(0, i);
  }
  return text;
}

// Splits a list validation's items ("是,否") into a null-terminated array.
class ValueList {
 public:
  explicit ValueList(const std::string& items) {
    size_t start = 0;
    while (start <= items.size()) {
      size_t end = items.find(',', start);
      if (end == std::string::npos) end = items.size();
      strings_.push_back(items.substr(start, end - start));
      start = end + 1;
    }
    for (auto& item : strings_) pointers_.push_back(item.data());
    pointers_.push_back(nullptr);
  }
  char** Get() { return pointers_.data(); }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

class SheetWriter {
 public:
  SheetWriter(lxw_worksheet* worksheet, host::ModelWorksheet& sheet, FormatCache& formats, RowWriting rowWriting)
      : ws_(worksheet), sheet_(sheet), formats_(formats), rowWriting_(rowWriting) {}

  // Without rows the sheet is an empty stand-in whose part is replaced
  // later; it still declares what the workbook part names for it.
  void Write(bool withRows = true) {
    // libxlsxwriter writes the rows as they come and keeps only the current
    // one, so whatever names a range of rows (merges, the auto filter, the
    // print area, validation) is registered before the first row goes out.
    WriteMerges();
    WriteAreas();
    WriteValidations();
    WriteBreaks();
    WritePageSetup();
    WriteView();
    if (withRows) WriteRowsAndCells();
    // Formatted columns widen the sheet's dimension to their last column,
    // and libxlsxwriter visits that many cells for each row it writes; so
    // they are set once the rows are out.
    WriteColumns();
  }

  // The scroll position of a sheet without panes, which libxlsxwriter cannot write ("" when none).
  std::string TopLeftCell() const {
    const host::SheetView& view = sheet_.View();
    const bool panes = view.splitRow > 0 || view.splitColumn > 0;
    if (panes || (view.scrollRow <= 1 && view.scrollColumn <= 1)) return "";
    return CellAddress(std::clamp(view.scrollRow, 1, host::kMaxRows), std::clamp(view.scrollColumn, 1, host::kMaxColumns));
  }

 private:
  // Column ranges with equal width and format. A whole-sheet format or a
  // changed default width is written as a last range reaching the sheet's
  // last column, with every column before it written too so no gap remains.
  void WriteColumns() {
    const auto& columns = sheet_.ColumnsData();
    const double defaultWidth = sheet_.DefaultColumnWidth();
    const bool defaultChanged = std::fabs(SavedColumnWidth(defaultWidth) - SavedColumnWidth(LXW_DEF_COL_WIDTH)) > 1e-9;
    const uint32_t sheetStyle = sheet_.SheetStyle();
    const bool tail = defaultChanged || sheetStyle != 0;
    const double baseWidth = defaultChanged ? defaultWidth : LXW_DEF_COL_WIDTH;
    const size_t count = std::min(columns.size(), static_cast<size_t>(host::kMaxColumns));
    const auto widthOf = [&](size_t c) { return columns[c].width >= 0 ? columns[c].width : baseWidth; };
    const auto styleOf = [&](size_t c) { return columns[c].style != 0 ? columns[c].style : sheetStyle; };
    size_t first = 0;
    while (first < count) {
      size_t last = first;
      while (last + 1 < count && widthOf(last + 1) == widthOf(first) && styleOf(last + 1) == styleOf(first)) ++last;
      const double width = widthOf(first);
      const uint32_t style = styleOf(first);
      if (tail || width != LXW_DEF_COL_WIDTH || style != 0) SetColumns(first, last, width, style);
      first = last + 1;
    }
    if (tail && count < static_cast<size_t>(host::kMaxColumns)) {
      SetColumns(count, static_cast<size_t>(host::kMaxColumns) - 1, baseWidth, sheetStyle);
    }
  }

  void SetColumns(size_t first, size_t last, double width, uint32_t style) {
    // A column of width 0 is a hidden one.
    lxw_row_col_options options{};
    options.hidden = width <= 0 ? 1 : 0;
    if (options.hidden != 0) width = LXW_DEF_COL_WIDTH;
    Check(worksheet_set_column_opt(ws_, static_cast<lxw_col_t>(first), static_cast<lxw_col_t>(last), std::min(width, 255.0),
                             formats_.Get(style), options.hidden != 0 ? &options : nullptr));
  }

  // Rows go out one after another (libxlsxwriter keeps only the current
  // row in memory): each row's height and format, then its cells. Our own
  // text goes into the library's row file, and the sheet's dimension into
  // the library's record of it, as its own calls would have left them.
  void WriteRowsAndCells() {
    const double defaultHeight = sheet_.DefaultRowHeight();
    if (std::fabs(defaultHeight - LXW_DEF_ROW_HEIGHT) > 1e-9 && defaultHeight > 0 && defaultHeight <= 409) {
      worksheet_set_default_row(ws_, defaultHeight, LXW_FALSE);
    }
    std::unique_ptr<SheetRowsXml> xml;
    if (rowWriting_ == RowWriting::Own) {
      if (ws_->optimize_tmpfile == nullptr) throw FormatError("写入失败 (cannot write the rows)");
      xml = std::make_unique<SheetRowsXml>(
          ws_->optimize_tmpfile, SheetDimension{ws_->dim_rowmin, ws_->dim_rowmax, ws_->dim_colmin, ws_->dim_colmax});
      xml->SetDefaultHeight(ws_->default_row_height);
      xml_ = xml.get();
    }
    const auto& rows = std::as_const(sheet_).RowsData();
    const size_t count = std::min(rows.size(), static_cast<size_t>(host::kMaxRows));
    for (size_t r = 0; r < count; ++r) {
      if (xml_ != nullptr) xml_->StartRow(static_cast<uint32_t>(r));
      WriteRowFormat(static_cast<lxw_row_t>(r), rows[r], defaultHeight);
      WriteRowCells(static_cast<lxw_row_t>(r), rows[r]);
    }
    if (xml_ == nullptr) return;
    xml_->Finish();
    const SheetDimension& dimension = xml_->Dimension();
    ws_->dim_rowmin = dimension.rowMin;
    ws_->dim_rowmax = dimension.rowMax;
    ws_->dim_colmin = static_cast<lxw_col_t>(dimension.columnMin);
    ws_->dim_colmax = static_cast<lxw_col_t>(dimension.columnMax);
    xml_ = nullptr;
  }

  void WriteRowFormat(lxw_row_t r, const host::RowData& row, double defaultHeight) {
    if (row.height < 0 && row.style == 0) return;
    double height = row.height < 0 ? defaultHeight : std::min(row.height, 409.0);
    lxw_row_col_options options{};
    if (height == 0) {
      options.hidden = 1;
      height = defaultHeight;
    }
    lxw_format* format = formats_.Get(row.style);
    if (xml_ != nullptr) {
      xml_->SetRowFormat(height, format != nullptr ? lxw_format_get_xf_index(format) : -1, options.hidden != 0);
      return;
    }
    Check(worksheet_set_row_opt(ws_, r, height, format, options.hidden ? &options : nullptr));
  }

  // A cell without a format of its own is written with the one it shows:
  // its row's, else its column's, else the sheet's. (libxlsxwriter would
  // look up the row and column itself, but the columns are set only after
  // the rows.)
  void WriteRowCells(lxw_row_t r, const host::RowData& row) {
    const auto& columns = sheet_.ColumnsData();
    const size_t columnCount = std::min(row.cells.size(), static_cast<size_t>(host::kMaxColumns));
    for (size_t c = 0; c < columnCount; ++c) {
      const host::Cell& cell = row.cells[c];
      if (cell.value.IsEmpty() && cell.style == 0 && cell.formula == 0) continue;
      uint32_t style = cell.style != 0 ? cell.style : row.style;
      if (style == 0) style = c < columns.size() && columns[c].style != 0 ? columns[c].style : sheet_.SheetStyle();
      WriteCell(r, static_cast<lxw_col_t>(c), cell, style);
    }
  }

  // Merges are registered before the rows, so the cells keep their own
  // values and formats.
  void WriteMerges() {
    for (const host::Rect& area : sheet_.MergedAreas()) {
      if (area.row1 < 1 || area.col1 < 1 || area.row2 > host::kMaxRows || area.col2 > host::kMaxColumns) continue;
      if (area.row1 == area.row2 && area.col1 == area.col2) continue;
      Check(worksheet_merge_range(ws_, static_cast<lxw_row_t>(area.row1 - 1), static_cast<lxw_col_t>(area.col1 - 1),
                            static_cast<lxw_row_t>(area.row2 - 1), static_cast<lxw_col_t>(area.col2 - 1), "", nullptr));
    }
  }

  void WriteError(lxw_row_t row, lxw_col_t column, const std::string& code, lxw_format* format) {
    if (IsErrorLiteral(code)) {
      PutFormulaText(row, column, code, format, code);
    } else {
      PutText(row, column, CellText(code), format);
    }
  }

  // One cell, through our own text or the library's call. A formula is
  // given with or without its leading "=", as the library takes it.
  static int32_t XfIndex(lxw_format* format) { return format != nullptr ? lxw_format_get_xf_index(format) : 0; }
  static std::string_view FormulaBody(std::string_view formula) {
    return !formula.empty() && formula.front() == '=' ? formula.substr(1) : formula;
  }
  void PutNumber(lxw_row_t row, lxw_col_t column, double number, lxw_format* format) {
    if (xml_ != nullptr) return xml_->Number(column, XfIndex(format), number);
    Check(worksheet_write_number(ws_, row, column, number, format));
  }
  void PutText(lxw_row_t row, lxw_col_t column, const std::string& text, lxw_format* format) {
    if (xml_ == nullptr) {
      Check(worksheet_write_string(ws_, row, column, text.c_str(), format));
    } else if (!text.empty()) {
      xml_->Text(column, XfIndex(format), text);
    } else if (format != nullptr) {
      xml_->Blank(column, XfIndex(format));  // the library writes an empty string as a blank
    }
  }
  void PutFormulaText(lxw_row_t row, lxw_col_t column, const std::string& formula, lxw_format* format,
                      const std::string& result) {
    if (xml_ != nullptr) return xml_->FormulaText(column, XfIndex(format), FormulaBody(formula), result);
    Check(worksheet_write_formula_str(ws_, row, column, formula.c_str(), format, result.c_str()));
  }

  void WriteCell(lxw_row_t row, lxw_col_t column, const host::Cell& cell, uint32_t style) {
    lxw_format* format = formats_.Get(style);
    const host::Value& value = cell.value;
    if (cell.formula != 0 && (value.IsNumber() || value.IsText() || value.IsEmpty())) {
      const auto a1 = R1C1ToA1(sheet_.Formula(cell.formula).Str(), static_cast<int32_t>(row) + 1, static_cast<int32_t>(column) + 1);
      if (a1 && !(value.IsNumber() && !std::isfinite(value.Number()))) {
        if (value.IsNumber() && xml_ != nullptr) {
          xml_->FormulaNumber(column, XfIndex(format), FormulaBody(*a1), value.Number());
        } else if (value.IsNumber()) {
          Check(worksheet_write_formula_num(ws_, row, column, a1->c_str(), format, value.Number()));
        } else {
          PutFormulaText(row, column, *a1, format, value.IsText() ? CellText(value.Text()) : std::string());
        }
        return;
      }
    }
    switch (value.Type()) {
      case host::ValueType::Empty:
        if (format != nullptr && xml_ != nullptr) {
          xml_->Blank(column, XfIndex(format));
        } else if (format != nullptr) {
          Check(worksheet_write_blank(ws_, row, column, format));
        }
        break;
      case host::ValueType::Number:
        if (std::isfinite(value.Number())) {
          PutNumber(row, column, value.Number(), format);
        } else {
          WriteError(row, column, "#NUM!", format);
        }
        break;
      case host::ValueType::Text:
        if (value.Text().empty()) {
          // An empty text is kept apart from an empty cell as the formula ="".
          PutFormulaText(row, column, "=\"\"", format, "");
        } else {
          const std::string_view text = value.Text();
          const bool plain = text.size() <= kMaxCellCharacters && text.find("_x") == std::string::npos;
          if (plain && xml_ != nullptr) {
            xml_->Text(column, XfIndex(format), text);
          } else {
            PutText(row, column, plain ? std::string(text) : CellText(text), format);
          }
        }
        break;
      case host::ValueType::Boolean:
        if (xml_ != nullptr) {
          xml_->Boolean(column, XfIndex(format), value.Bool());
        } else {
          Check(worksheet_write_boolean(ws_, row, column, value.Bool() ? 1 : 0, format));
        }
        break;
      case host::ValueType::Error:
        WriteError(row, column, value.Error().code, format);
        break;
    }
  }

  // A break before row r ends the page after row r - 1, which is the
  // 0-based number of row r.
  void WriteBreaks() {
    std::vector<lxw_row_t> breaks;
    for (const int32_t row : sheet_.HPageBreaks()) {
      if (row > 1 && row <= host::kMaxRows) breaks.push_back(static_cast<lxw_row_t>(row - 1));
    }
    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
    if (breaks.empty()) return;
    if (breaks.size() > LXW_BREAKS_MAX) breaks.resize(LXW_BREAKS_MAX);
    breaks.push_back(0);
    Check(worksheet_set_h_pagebreaks(ws_, breaks.data()));
  }

  void WritePageSetup() {
    const host::PageSetupData& setup = sheet_.PageSetupValues();
    const host::PageSetupData defaults;
    if (setup.orientation == host::kPortrait) worksheet_set_portrait(ws_);
    if (setup.orientation == host::kLandscape) worksheet_set_landscape(ws_);
    if (setup.paperSize > 0 && setup.paperSize < 256) worksheet_set_paper(ws_, static_cast<uint8_t>(setup.paperSize));
    worksheet_set_margins(ws_, setup.leftMargin / 72.0, setup.rightMargin / 72.0, setup.topMargin / 72.0,
                          setup.bottomMargin / 72.0);
    lxw_header_footer_options header{};
    header.margin = setup.headerMargin / 72.0;
    lxw_header_footer_options footer{};
    footer.margin = setup.footerMargin / 72.0;
    const std::string headerText = setup.centerHeader.empty() ? "" : Clipped("&C" + setup.centerHeader, 250);
    const std::string footerText = setup.centerFooter.empty() ? "" : Clipped("&C" + setup.centerFooter, 250);
    if (!headerText.empty() || setup.headerMargin != defaults.headerMargin) {
      Check(worksheet_set_header_opt(ws_, headerText.c_str(), &header));
    }
    if (!footerText.empty() || setup.footerMargin != defaults.footerMargin) {
      Check(worksheet_set_footer_opt(ws_, footerText.c_str(), &footer));
    }
    if (setup.zoom != 100 && setup.zoom >= 10 && setup.zoom <= 400) {
      worksheet_set_print_scale(ws_, static_cast<uint16_t>(setup.zoom));
    }
    if (setup.centerHorizontally) worksheet_center_horizontally(ws_);
    if (setup.printTitleFirstRow > 0 && setup.printTitleLastRow >= setup.printTitleFirstRow &&
        setup.printTitleLastRow <= host::kMaxRows) {
      Check(worksheet_repeat_rows(ws_, static_cast<lxw_row_t>(setup.printTitleFirstRow - 1),
                            static_cast<lxw_row_t>(setup.printTitleLastRow - 1)));
    }
  }

  // The auto filter and the print area.
  void WriteAreas() {
    const auto valid = [](const host::Rect& area) {
      return area.row1 >= 1 && area.col1 >= 1 && area.row2 <= host::kMaxRows && area.col2 <= host::kMaxColumns &&
             area.row1 <= area.row2 && area.col1 <= area.col2;
    };
    if (const auto& filter = sheet_.AutoFilterArea(); filter && valid(*filter)) {
      Check(worksheet_autofilter(ws_, static_cast<lxw_row_t>(filter->row1 - 1), static_cast<lxw_col_t>(filter->col1 - 1),
                           static_cast<lxw_row_t>(filter->row2 - 1), static_cast<lxw_col_t>(filter->col2 - 1)));
    }
    if (const auto& area = sheet_.PrintArea(); area && valid(*area)) {
      Check(worksheet_print_area(ws_, static_cast<lxw_row_t>(area->row1 - 1), static_cast<lxw_col_t>(area->col1 - 1),
                           static_cast<lxw_row_t>(area->row2 - 1), static_cast<lxw_col_t>(area->col2 - 1)));
    }
  }

  void WriteValidations() {
    for (const host::ValidationRule& rule : sheet_.Validations()) WriteValidation(rule);
  }

  void WriteValidation(const host::ValidationRule& rule) {
    const host::Rect& area = rule.area;
    if (area.row1 < 1 || area.col1 < 1 || area.row2 > host::kMaxRows || area.col2 > host::kMaxColumns ||
        area.row2 < area.row1 || area.col2 < area.col1) {
      return;
    }
    lxw_data_validation validation{};
    std::unique_ptr<ValueList> list;
    std::string formula1 = rule.formula1, formula2 = rule.formula2;
    const auto isNumber = [](const std::string& text) { return ParseFileNumber(text).has_value(); };
    switch (rule.type) {
      case host::kValidateList:
        if (!formula1.empty() && formula1.front() == '=') {
          validation.validate = LXW_VALIDATION_TYPE_LIST_FORMULA;
          validation.value_formula = formula1.data();
        } else {
          validation.validate = LXW_VALIDATION_TYPE_LIST;
          list = std::make_unique<ValueList>(formula1);
          validation.value_list = list->Get();
        }
        break;
      case 1: case 2: case 4: case 5: case 6: case 7: {
        static constexpr uint8_t kFormulaTypes[] = {0, LXW_VALIDATION_TYPE_INTEGER_FORMULA,
                                                    LXW_VALIDATION_TYPE_DECIMAL_FORMULA, 0,
                                                    LXW_VALIDATION_TYPE_DATE_FORMULA, LXW_VALIDATION_TYPE_TIME_FORMULA,
                                                    LXW_VALIDATION_TYPE_LENGTH_FORMULA,
                                                    LXW_VALIDATION_TYPE_CUSTOM_FORMULA};
        validation.validate = kFormulaTypes[rule.type];
        validation.criteria = static_cast<uint8_t>(std::clamp(rule.op, 1, 8));
        if (formula1.empty() || (!isNumber(formula1) && formula1.front() != '=')) formula1 = "=" + formula1;
        if (formula2.empty() || (!isNumber(formula2) && formula2.front() != '=')) formula2 = "=" + formula2;
        const bool two = rule.type != 7 && (rule.op == 1 || rule.op == 2);
        if (rule.type == 7) validation.criteria = LXW_VALIDATION_CRITERIA_NONE;
        if (two) {
          validation.minimum_formula = formula1.data();
          validation.maximum_formula = formula2.data();
        } else {
          validation.value_formula = formula1.data();
        }
        break;
      }
      default:
        validation.validate = LXW_VALIDATION_TYPE_ANY;
        break;
    }
    validation.ignore_blank = rule.ignoreBlank ? LXW_VALIDATION_ON : LXW_VALIDATION_OFF;
    validation.show_input = rule.showInput ? LXW_VALIDATION_ON : LXW_VALIDATION_OFF;
    validation.show_error = rule.showError ? LXW_VALIDATION_ON : LXW_VALIDATION_OFF;
    validation.error_type = rule.alertStyle == 2   ? LXW_VALIDATION_ERROR_TYPE_WARNING
                            : rule.alertStyle == 3 ? LXW_VALIDATION_ERROR_TYPE_INFORMATION
                                                   : LXW_VALIDATION_ERROR_TYPE_STOP;
    std::string inputTitle = Clipped(rule.inputTitle, 32), inputMessage = Clipped(rule.inputMessage, 255);
    std::string errorTitle = Clipped(rule.errorTitle, 32), errorMessage = Clipped(rule.errorMessage, 255);
    if (!inputTitle.empty()) validation.input_title = inputTitle.data();
    if (!inputMessage.empty()) validation.input_message = inputMessage.data();
    if (!errorTitle.empty()) validation.error_title = errorTitle.data();
    if (!errorMessage.empty()) validation.error_message = errorMessage.data();
    Check(worksheet_data_validation_range(ws_, static_cast<lxw_row_t>(area.row1 - 1), static_cast<lxw_col_t>(area.col1 - 1),
                                    static_cast<lxw_row_t>(area.row2 - 1), static_cast<lxw_col_t>(area.col2 - 1),
                                    &validation));
  }

  void WriteView() {
    const host::SheetView& view = sheet_.View();
    if (view.zoom != 100 && view.zoom >= 10 && view.zoom <= 400) worksheet_set_zoom(ws_, static_cast<uint16_t>(view.zoom));
    const int32_t splitRow = std::clamp(view.splitRow, 0, host::kMaxRows - 1);
    const int32_t splitColumn = std::clamp(view.splitColumn, 0, host::kMaxColumns - 1);
    if (splitRow == 0 && splitColumn == 0) return;
    // The scrolling pane starts below and right of the split, at the scroll position.
    const int64_t topRow = std::min<int64_t>(int64_t{splitRow} + std::max(view.scrollRow, 1) - 1, host::kMaxRows - 1);
    const int64_t leftColumn =
        std::min<int64_t>(int64_t{splitColumn} + std::max(view.scrollColumn, 1) - 1, host::kMaxColumns - 1);
    if (view.freezePanes) {
      worksheet_freeze_panes_opt(ws_, static_cast<lxw_row_t>(splitRow), static_cast<lxw_col_t>(splitColumn),
                                 static_cast<lxw_row_t>(topRow), static_cast<lxw_col_t>(leftColumn), 0);
    } else {
      // A plain split is given as the height and width it covers, in rows
      // and columns of default size.
      worksheet_split_panes_opt(ws_, splitRow * LXW_DEF_ROW_HEIGHT, splitColumn * LXW_DEF_COL_WIDTH,
                                static_cast<lxw_row_t>(topRow), static_cast<lxw_col_t>(leftColumn));
    }
  }

  lxw_worksheet* ws_;
  host::ModelWorksheet& sheet_;  // only read; some of its accessors are not const
  FormatCache& formats_;
  RowWriting rowWriting_;
  SheetRowsXml* xml_ = nullptr;  // while the rows are written as our own text
};

// A sheet with at least this many stored cells, beside at least as many in
// the other sheets together, is written on a second thread. A class list of
// a thousand students (about 20,000 cells a sheet) already gains from it.
constexpr uint64_t kSplitCells = 20000;

uint64_t StoredCells(const host::ModelWorksheet& sheet) {
  uint64_t cells = 0;
  for (const host::RowData& row : sheet.RowsData()) cells += row.cells.size();
  return cells;
}

// The sheet worth writing on a second thread: the one with the most cells,
// when it and the others together are both large. 0 when none is.
int32_t SheetToSplit(host::ModelWorkbook& model) {
  if (std::thread::hardware_concurrency() < 2 || model.SheetCount() < 2) return 0;
  int32_t largest = 0;
  uint64_t largestCells = 0, allCells = 0;
  for (int32_t i = 1; i <= model.SheetCount(); ++i) {
    const uint64_t cells = StoredCells(model.ModelSheetAt(i));
    allCells += cells;
    if (cells > largestCells) {
      largest = i;
      largestCells = cells;
    }
  }
  return largestCells >= kSplitCells && allCells - largestCells >= kSplitCells ? largest : 0;
}

// A new package at path. `created` is its creation time: the two packages of
// a workbook written on two threads are given the same one, so that the
// library's conversion of it (through gmtime's one shared result) yields the
// same fields on both threads. The library's own temporary files go into
// `folder` (beside the package, so that one disk holds all that a save
// needs); it must outlive the workbook.
lxw_workbook* NewWorkbook(const std::string& path, const std::string& folder, time_t created) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  options.use_zip64 = LXW_FALSE;
  options.tmpdir = const_cast<char*>(folder.c_str());
  lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
  if (workbook == nullptr) throw FormatError("无法创建文件 (cannot create the file)");
  lxw_doc_properties properties{};
  properties.created = created;
  if (workbook_set_properties(workbook, &properties) != LXW_NO_ERROR) {
    workbook_close(workbook);
    throw FormatError("无法创建文件 (cannot create the file)");
  }
  return workbook;
}

void CloseWorkbook(std::unique_ptr<lxw_workbook, WorkbookFree>& workbook) {
  const lxw_error error = workbook_close(workbook.release());
  if (error == LXW_ERROR_CREATING_XLSX_FILE || error == LXW_ERROR_CREATING_TMPFILE ||
      error == LXW_ERROR_ZIP_FILE_OPERATION) {
    throw FormatError("无法写入文件，磁盘可能已满 (cannot write the file; the disk may be full): " +
                      std::string(lxw_strerror(error)));
  }
  Check(error);
}

// Writes sheet `index` alone into a package of its own at path, exactly as
// the main package writes it: every format registered in the same order (so
// the cells' format numbers agree) and the sheet selected only when it is the
// active one (else a small second sheet is).
void WriteSheetAlone(const host::ModelWorkbook& book, int32_t index, bool selected, const std::string& path,
                     const std::string& scratch, time_t created, RowWriting rowWriting) {
  auto& model = const_cast<host::ModelWorkbook&>(book);  // only read
  std::unique_ptr<lxw_workbook, WorkbookFree> workbook(NewWorkbook(path, scratch, created));
  FormatCache formats(workbook.get(), book.Styles());
  formats.RegisterAll();
  host::ModelWorksheet& sheet = model.ModelSheetAt(index);
  lxw_worksheet* worksheet = workbook_add_worksheet(workbook.get(), sheet.Name().c_str());
  if (worksheet == nullptr) throw FormatError("工作表名称“" + sheet.Name() + "”无效 (invalid sheet name)");
  SheetWriter(worksheet, sheet, formats, rowWriting).Write();
  if (!selected) {
    const char* other = sheet.Name() == "a" || sheet.Name() == "A" ? "b" : "a";
    lxw_worksheet* stand = workbook_add_worksheet(workbook.get(), other);
    if (stand == nullptr) throw FormatError("写入失败 (cannot add a sheet)");
    worksheet_activate(stand);
  }
  CloseWorkbook(workbook);
}

// Runs a task on a second thread that writes a temporary file beside
// `beside`; Finish waits for it and passes its failure on. The thread is
// always waited for, and the file removed, however the writer ends.
class SecondWriter {
 public:
  SecondWriter(const std::string& beside, std::function<void(const std::string&)> task)
      : file_(FolderOf(beside), 0) {
    thread_ = std::thread([this, task = std::move(task)] {
      try {
        task(file_.Path());
      } catch (...) {
        failure_ = std::current_exception();
      }
    });
  }
  SecondWriter(const SecondWriter&) = delete;
  SecondWriter& operator=(const SecondWriter&) = delete;
  ~SecondWriter() {
    if (thread_.joinable()) thread_.join();
  }
  void Finish() {
    thread_.join();
    if (failure_) std::rethrow_exception(failure_);
  }
  const std::string& Path() const { return file_.Path(); }

 private:
  TemporaryFile file_;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace

void WriteXlsx(const host::ModelWorkbook& book, const std::string& path) {
  try {
    WriteXlsxFile(book, path);
  } catch (const FormatError& failure) {
    RaiseWriteError(path, failure.what());
  }
}

void WriteXlsxFile(const host::ModelWorkbook& book, const std::string& path, RowWriting rowWriting) {
  auto& model = const_cast<host::ModelWorkbook&>(book);  // sheet access is not const; nothing is changed
  LinkPackageZipWriter();
  const LibraryOutputSilenced silenced;
  const time_t created = std::time(nullptr);
  // libxlsxwriter's own files (removed as soon as they are opened, but
  // named for a moment) go into a folder of ours beside the package.
  const TemporaryFolder scratch(FolderOf(path));
  std::unique_ptr<lxw_workbook, WorkbookFree> workbook(NewWorkbook(path, scratch.Path(), created));
  FormatCache formats(workbook.get(), book.Styles());
  XlsxPatch patch;
  const int32_t count = book.SheetCount();
  int32_t active = book.ActiveSheetIndex();
  if (active < 1 || active > count || model.ModelSheetAt(active).Visible() != host::kSheetVisible) {
    active = 0;
    for (int32_t i = 1; i <= count && active == 0; ++i) {
      if (model.ModelSheetAt(i).Visible() == host::kSheetVisible) active = i;
    }
  }
  // A large workbook is written in two halves at once: its largest sheet into
  // a package of its own on a second thread, the rest here with an empty
  // stand-in for it; as this package is closed, the stand-in's part is
  // replaced by the other package's, copied still compressed.
  // Every format is numbered up front, in the pool's order, so that the
  // numbers do not hang on the order in which cells go out (the library
  // numbers a format when it writes the first cell that uses it, the last
  // row of each sheet only when the workbook is closed).
  formats.RegisterAll();
  const int32_t split = SheetToSplit(model);
  std::unique_ptr<SecondWriter> second;
  if (split > 0) {
    second = std::make_unique<SecondWriter>(
        path, [&book, split, selected = split == active, created, &scratch, rowWriting](const std::string& secondPath) {
          WriteSheetAlone(book, split, selected, secondPath, scratch.Path(), created, rowWriting);
        });
  }
  std::vector<lxw_worksheet*> worksheets;
  for (int32_t i = 1; i <= count; ++i) {
    host::ModelWorksheet& sheet = model.ModelSheetAt(i);
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook.get(), sheet.Name().c_str());
    if (worksheet == nullptr) throw FormatError("工作表名称“" + sheet.Name() + "”无效 (invalid sheet name)");
    worksheets.push_back(worksheet);
    SheetWriter writer(worksheet, sheet, formats, rowWriting);
    writer.Write(i != split);
    const std::string topLeft = writer.TopLeftCell();
    if (!topLeft.empty()) patch.topLeftCells.emplace_back(i, topLeft);
  }
  if (active > 0) worksheet_activate(worksheets[static_cast<size_t>(active - 1)]);
  for (int32_t i = 1; i <= count; ++i) {
    const int32_t visible = model.ModelSheetAt(i).Visible();
    if (visible == host::kSheetVisible || i == active) continue;
    worksheet_hide(worksheets[static_cast<size_t>(i - 1)]);
    if (visible == host::kSheetVeryHidden) patch.veryHiddenSheets.push_back(i);
  }
  const double ratio = book.TabRatio();
  if (std::fabs(ratio - 0.6) > 1e-9 && ratio >= 0 && ratio <= 1) {
    patch.tabRatio = static_cast<int32_t>(std::lround(ratio * 1000));
  }
  patch.date1904 = model.Date1904();
  PackageChanges changes;
  if (PatchesWorkbookPart(patch)) {
    changes.Edit("xl/workbook.xml", [&patch](std::string xml) { return PatchWorkbookPart(std::move(xml), patch); });
  }
  // The other package's failure, when it is what stops this one, is the one
  // reported.
  std::exception_ptr secondFailure;
  if (second) {
    changes.Replace("xl/worksheets/sheet" + std::to_string(split) + ".xml", [&] {
      try {
        second->Finish();
      } catch (...) {
        secondFailure = std::current_exception();
        throw;
      }
      return DeflatedPart(second->Path(), "xl/worksheets/sheet1.xml");
    });
  }
  try {
    CloseWorkbook(workbook);
  } catch (...) {
    if (secondFailure) std::rethrow_exception(secondFailure);
    throw;
  }
  ApplyXlsxPatch(path, patch);
}

}  // namespace fenban::files
