// Unit, colour, date and text conversions shared by the readers and the writer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fenban::files {

// Column widths. The file stores a width that includes the cell padding and
// Excel snaps widths to whole pixels (7 pixels per character of the
// default font, 5 pixels of padding).
// Width in characters of a column whose file width is fileWidth.
double ColumnWidthFromFile(double fileWidth);
// The width a column of `width` characters has after it has been written
// and read back (snapped to a whole pixel).
double SavedColumnWidth(double width);

// Page margins: the file stores inches, the model points.
double PointsFromInches(double inches);

// Date serial numbers (whole days; the 1900 system keeps the fictitious
// 29 February 1900). nullopt for dates outside 1900/1904..9999.
std::optional<double> DateSerial(int32_t year, int32_t month, int32_t day, bool date1904);
// "2023-09-01", "2023-09-01 08:30:00", "2023-09-01T08:30:00Z", "08:30:00" -> serial
// number with the time as its fraction; nullopt when the text is not one.
std::optional<double> DateTimeTextToSerial(std::string_view text, bool date1904);

// Appends a code point as UTF-8.
void AppendUtf8(std::string& out, uint32_t code);
// Decodes the _xHHHH_ escapes of OOXML strings in place.
void DecodeXmlEscapes(std::string& text);
// Protects literal "_xHHHH_" sequences so that a reader does not decode them.
std::string EscapeLiteralEscapes(std::string_view text);

// Parses a number as written in a file (C locale); nullopt when malformed.
std::optional<double> ParseFileNumber(std::string_view text);
// Parses a whole number; nullopt when malformed or out of the 32-bit range.
std::optional<int32_t> ParseFileInteger(std::string_view text);

// Colours, as 0xRRGGBB.
// A colour of the default Office theme by its index in the file's
// theme="n" attribute; -1 outside 0..11.
int32_t ThemeRgb(int32_t index);
// Applies an OOXML tint (-1..1) to a colour.
int32_t ApplyTint(int32_t rgb, double tint);
// The palette index (1..56) whose colour is closest to rgb.
int32_t NearestPaletteIndex(int32_t rgb);
// "FFCCFFCC" / "CCFFCC" -> 0xCCFFCC; nullopt when malformed.
std::optional<int32_t> ParseArgb(std::string_view text);

// Error values that can be written as a formula literal (=#N/A).
bool IsErrorLiteral(std::string_view code);

}  // namespace fenban::files
