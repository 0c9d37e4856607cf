#include "files/sheet_rows_xml.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "files/file_error.h"

namespace fenban::files {

namespace {

constexpr size_t kBlock = size_t{1} << 20;
constexpr double kDefaultHeight = 15;  // the library's LXW_DEF_ROW_HEIGHT

std::string ColumnName(uint32_t column) {
  std::string name;
  for (uint32_t c = column + 1; c > 0; c = (c - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
  return name;
}

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

void SheetDimension::AddCell(uint32_t row, uint32_t column) {
  rowMin = std::min(rowMin, row);
  rowMax = std::max(rowMax, row);
  columnMin = std::min(columnMin, column);
  columnMax = std::max(columnMax, column);
}

void SheetDimension::AddRow(uint32_t row) { AddCell(row, columnMin != kNoColumn ? columnMin : 0); }

SheetRowsXml::SheetRowsXml(std::FILE* file, const SheetDimension& dimension) : file_(file), dimension_(dimension) {
  out_.reserve(kBlock + 4096);
}

SheetRowsXml::~SheetRowsXml() = default;

void SheetRowsXml::StartRow(uint32_t row) {
  CloseRow();
  row_ = row;
  rowNumber_.clear();
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, uint64_t{row} + 1).ptr;
  rowNumber_.assign(digits, end);
  inRow_ = true;
  rowFormatted_ = rowOpen_ = hidden_ = false;
  height_ = nextHeight_;
  rowXf_ = -1;
}

void SheetRowsXml::SetDefaultHeight(double height) { nextHeight_ = height; }

void SheetRowsXml::SetRowFormat(double height, int32_t xf, bool hidden) {
  rowFormatted_ = true;
  height_ = height;
  rowXf_ = xf;
  hidden_ = hidden;
  dimension_.AddRow(row_);
}

// <row r="N" s="X" customFormat="1" ht="H" hidden="1" customHeight="1">, the
// library's order: customFormat for a row with a format, `s` when that
// format's index is not 0.
void SheetRowsXml::RowTag(bool empty) {
  out_ += "<row r=\"";
  out_ += rowNumber_;
  out_ += '"';
  if (rowXf_ > 0) {
    out_ += " s=\"";
    PutUnsigned(static_cast<uint64_t>(rowXf_));
    out_ += '"';
  }
  if (rowXf_ >= 0) out_ += " customFormat=\"1\"";
  const bool customHeight = height_ != kDefaultHeight;
  if (customHeight) {
    char text[40];
    std::snprintf(text, sizeof text, "%.16G", height_);
    out_ += " ht=\"";
    out_ += text;
    out_ += '"';
  }
  if (hidden_) out_ += " hidden=\"1\"";
  if (customHeight) out_ += " customHeight=\"1\"";
  out_ += empty ? "/>" : ">";
}

void SheetRowsXml::CloseRow() {
  if (!inRow_) return;
  if (rowOpen_) {
    out_ += "</row>";
  } else if (rowFormatted_) {
    RowTag(true);
  }
  if (rowOpen_ || rowFormatted_) nextHeight_ = kDefaultHeight;
  inRow_ = false;
  FlushIfFull();
}

void SheetRowsXml::OpenCell(uint32_t column, int32_t xf) {
  if (!rowOpen_) {
    RowTag(false);
    rowOpen_ = true;
  }
  dimension_.AddCell(row_, column);
  while (columnNames_.size() <= column) columnNames_.push_back(ColumnName(static_cast<uint32_t>(columnNames_.size())));
  out_ += "<c r=\"";
  out_ += columnNames_[column];
  out_ += rowNumber_;
  out_ += '"';
  if (xf != 0) {
    out_ += " s=\"";
    PutUnsigned(static_cast<uint64_t>(xf));
    out_ += '"';
  }
}

void SheetRowsXml::Number(uint32_t column, int32_t xf, double number) {
  OpenCell(column, xf);
  out_ += "><v>";
  PutNumber(number);
  out_ += "</v></c>";
}

// An inline string: control characters other than tab and line feed as
// _xHHHH_, then &, < and > as entities; xml:space="preserve" when the text
// so escaped starts or ends with white space.
void SheetRowsXml::Text(uint32_t column, int32_t xf, std::string_view text) {
  OpenCell(column, xf);
  out_ += " t=\"inlineStr\"><is><t";
  const size_t tagEnd = out_.size();
  out_ += '>';
  const size_t start = out_.size();
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\t' && c != '\n') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      const char escape[] = {'_', 'x', '0', '0', kHex[byte >> 4], kHex[byte & 15], '_'};
      out_.append(escape, sizeof escape);
    } else {
      EscapedCharacter(c);
    }
  }
  if (out_.size() > start && (IsSpace(out_[start]) || IsSpace(out_.back()))) {
    out_.insert(tagEnd, " xml:space=\"preserve\"");
  }
  out_ += "</t></is></c>";
  FlushIfFull();
}

void SheetRowsXml::Boolean(uint32_t column, int32_t xf, bool value) {
  OpenCell(column, xf);
  out_ += value ? " t=\"b\"><v>1</v></c>" : " t=\"b\"><v>0</v></c>";
}

void SheetRowsXml::Blank(uint32_t column, int32_t xf) {
  OpenCell(column, xf);
  out_ += "/>";
}

void SheetRowsXml::FormulaNumber(uint32_t column, int32_t xf, std::string_view formula, double result) {
  OpenCell(column, xf);
  out_ += "><f>";
  Escaped(formula);
  out_ += "</f><v>";
  PutNumber(result);
  out_ += "</v></c>";
  FlushIfFull();
}

void SheetRowsXml::FormulaText(uint32_t column, int32_t xf, std::string_view formula, std::string_view result) {
  OpenCell(column, xf);
  out_ += " t=\"str\"><f>";
  Escaped(formula);
  out_ += "</f><v>";
  Escaped(result);
  out_ += "</v></c>";
  FlushIfFull();
}

// &, < and > as entities, as the library writes element text.
void SheetRowsXml::Escaped(std::string_view text) {
  for (const char c : text) EscapedCharacter(c);
}

void SheetRowsXml::EscapedCharacter(char c) {
  switch (c) {
    case '&': out_ += "&amp;"; break;
    case '<': out_ += "&lt;"; break;
    case '>': out_ += "&gt;"; break;
    default: out_ += c;
  }
}

// printf's "%.16G": whole numbers below 10^16 as digits (and -0 as "-0"),
// others through to_chars, which formats as printf does.
void SheetRowsXml::PutNumber(double number) {
  const double magnitude = std::fabs(number);
  if (magnitude < 1e16 && number == std::trunc(number)) {
    if (std::signbit(number)) out_ += '-';
    PutUnsigned(static_cast<uint64_t>(magnitude));
    return;
  }
  char text[40];
  const auto end = std::to_chars(text, text + sizeof text, number, std::chars_format::general, 16).ptr;
  for (char* c = text; c != end; ++c) {
    if (*c == 'e') *c = 'E';
  }
  out_.append(text, end);
}

void SheetRowsXml::PutUnsigned(uint64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out_.append(digits, end);
}

void SheetRowsXml::FlushIfFull() {
  if (out_.size() >= kBlock) Flush();
}

void SheetRowsXml::Flush() {
  if (!out_.empty() && std::fwrite(out_.data(), 1, out_.size(), file_) != out_.size()) {
    throw FormatError("无法写入文件，磁盘可能已满 (cannot write the file; the disk may be full)");
  }
  out_.clear();
}

void SheetRowsXml::Finish() {
  CloseRow();
  Flush();
}

}  // namespace fenban::files
