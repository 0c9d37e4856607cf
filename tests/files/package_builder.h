// Builds small .xlsx packages from worksheet XML, for tests of unusual or hostile content.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace fenban::files::testing {

// Writes an .xlsx package whose worksheets (named S1, S2, ...) have the given
// XML bodies; workbookTail is workbook XML after the sheet list (definedNames).
// A zip source of `size` spaces, made as they are read, so that a test can
// pack hundreds of megabytes without holding them.
struct Spaces {
  uint64_t size = 0;
  uint64_t done = 0;
};

inline zip_int64_t SpacesCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* spaces = static_cast<Spaces*>(state);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      spaces->done = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const zip_uint64_t n = std::min<zip_uint64_t>(length, spaces->size - spaces->done);
      std::fill_n(static_cast<char*>(data), n, ' ');
      spaces->done += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_STAT: {
      auto* stat = static_cast<zip_stat_t*>(data);
      zip_stat_init(stat);
      stat->size = spaces->size;
      stat->valid |= ZIP_STAT_SIZE;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_FREE:
      delete spaces;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      return 0;
  }
}

// A package whose one part of `size` spaces expands far beyond the file:
// well-formed, only large once inflated.
inline void WriteExpandingPackage(const std::string& path, uint64_t size) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  const std::string types =
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";
  ASSERT_GE(zip_file_add(archive, "[Content_Types].xml", zip_source_buffer(archive, types.data(), types.size(), 0),
                         ZIP_FL_ENC_UTF_8),
            0);
  zip_source_t* filler = zip_source_function(archive, SpacesCallback, new Spaces{size, 0});
  ASSERT_NE(filler, nullptr);
  const zip_int64_t index = zip_file_add(archive, "xl/worksheets/sheet1.xml", filler, ZIP_FL_ENC_UTF_8);
  ASSERT_GE(index, 0);
  ASSERT_EQ(zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1), 0);
  ASSERT_EQ(zip_close(archive), 0);
}

inline void WritePackage(const std::string& path, const std::vector<std::string>& sheetBodies,
                         const std::string& workbookTail = "") {
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
