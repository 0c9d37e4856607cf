// Builds small .xlsx packages from worksheet XML, for tests of unusual or hostile content.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "files/zip_writer.h"

namespace fenban::files::testing {

// A package whose one part of `size` spaces expands far beyond the file:
// well-formed, only large once inflated. The spaces are deflated as they
// are made (by the program's own streaming writer), so a test can pack
// gigabytes quickly without holding them.
inline void WriteExpandingPackage(const std::string& path, uint64_t size) {
  ZipWriter writer(path);
  const std::string types = "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";
  writer.StartEntry("[Content_Types].xml");
  writer.Write(types.data(), types.size());
  writer.StartEntry("xl/worksheets/sheet1.xml");
  const std::string spaces(size_t{1} << 20, ' ');
  for (uint64_t done = 0; done < size; done += spaces.size()) {
    writer.Write(spaces.data(), static_cast<size_t>(std::min<uint64_t>(spaces.size(), size - done)));
  }
  writer.Close();
}

// Sheet data of `rows` students large enough to be inflated on a second
// thread: row r holds the text "学生r" in A and the number r % 750 + 0.5 in B.
inline std::string LargeSheetData(int32_t rows) {
  std::string body = "<sheetData>";
  for (int32_t r = 1; r <= rows; ++r) {
    const std::string n = std::to_string(r);
    body += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><t>学生" + n + "</t></is></c><c r=\"B" + n +
            "\"><v>" + std::to_string(r % 750) + ".5</v></c></row>";
  }
  return body + "</sheetData>";
}

// Writes an .xlsx package whose worksheets (named S1, S2, ...) have the given
// XML bodies; workbookTail is workbook XML after the sheet list (definedNames);
// sharedStrings, when given, is the whole shared strings part.
inline void WritePackage(const std::string& path, const std::vector<std::string>& sheetBodies,
                         const std::string& workbookTail = "", const std::string& sharedStrings = "") {
  std::map<std::string, std::string> parts;
  std::string sheets, rels;
  for (size_t i = 1; i <= sheetBodies.size(); ++i) {
    const std::string n = std::to_string(i);
    sheets += "<sheet name=\"S" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
            "Target=\"worksheets/sheet" + n + ".xml\"/>";
    parts["xl/worksheets/sheet" + n + ".xml"] =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + sheetBodies[i - 1] +
        "</worksheet>";
  }
  parts["_rels/.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"r1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";
  parts["xl/workbook.xml"] =
      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>" + sheets +
      "</sheets>" + workbookTail + "</workbook>";
  if (!sharedStrings.empty()) {
    parts["xl/sharedStrings.xml"] = sharedStrings;
    rels += "<Relationship Id=\"rIdS\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
            "Target=\"sharedStrings.xml\"/>";
  }
  parts["xl/_rels/workbook.xml.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + rels +
      "</Relationships>";
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, text] : parts) {
    zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

}  // namespace fenban::files::testing
