// Small edits to a package: the tab ratio, the 1904 date system and very
// hidden sheets as the workbook part is written, the scroll position of
// sheets without panes in the written package.
#include <zip.h>

#include <deque>
#include <memory>
#include <vector>

#include "files/file_error.h"
#include "files/xlsx_writer_internal.h"

namespace fenban::files {

namespace {

struct ArchiveCloser {
  void operator()(zip_t* archive) const {
    if (archive != nullptr) zip_discard(archive);
  }
};

std::string ReadEntry(zip_t* archive, const std::string& name) {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat(archive, name.c_str(), 0, &stat) != 0) throw FormatError("缺少部件 " + name + " (missing part)");
  zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
  if (file == nullptr) throw FormatError("无法读取部件 " + name + " (cannot read part)");
  std::string text(static_cast<size_t>(stat.size), '\0');
  const zip_int64_t got = zip_fread(file, text.data(), text.size());
  zip_fclose(file);
  if (got < 0 || static_cast<uint64_t>(got) != stat.size) throw FormatError("无法读取部件 " + name + " (cannot read part)");
  return text;
}

// Inserts text after the name of the first element `<tag` found from `from`;
// returns the position after the insertion, or npos when there is none.
size_t InsertAttribute(std::string& xml, const std::string& tag, const std::string& attribute, size_t from = 0) {
  const std::string open = "<" + tag;
  size_t pos = from;
  while ((pos = xml.find(open, pos)) != std::string::npos) {
    const size_t end = pos + open.size();
    if (end < xml.size() && (xml[end] == ' ' || xml[end] == '/' || xml[end] == '>')) {
      xml.insert(end, " " + attribute);
      return end + attribute.size() + 1;
    }
    pos = end;
  }
  return std::string::npos;
}

}  // namespace

ZipWriter::DeflatedEntry DeflatedPart(const std::string& path, const std::string& name) {
  int code = 0;
  std::shared_ptr<zip_t> archive(zip_open(path.c_str(), ZIP_RDONLY, &code), ArchiveCloser());
  if (!archive) throw FormatError("无法重新打开已写入的文件 (cannot reopen the written file)");
  const zip_int64_t index = zip_name_locate(archive.get(), name.c_str(), 0);
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (index < 0 || zip_stat_index(archive.get(), static_cast<zip_uint64_t>(index), 0, &stat) != 0) {
    throw FormatError("缺少部件 " + name + " (missing part)");
  }
  if (stat.comp_method != ZIP_CM_DEFLATE) throw FormatError("无法复制部件 " + name + " (cannot copy part)");
  ZipWriter::DeflatedEntry entry;
  entry.crc = stat.crc;
  entry.size = stat.size;
  entry.packed = stat.comp_size;
  // The compressed data are copied as they are, not inflated and deflated again.
  entry.copy = [archive, index, name](const ZipWriter::Sink& sink) {
    zip_file_t* file = zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(index), ZIP_FL_COMPRESSED);
    if (file == nullptr) throw FormatError("无法读取部件 " + name + " (cannot read part)");
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
    std::vector<char> buffer(size_t{1} << 20);
    zip_int64_t got = 0;
    while ((got = zip_fread(file, buffer.data(), buffer.size())) > 0) sink(buffer.data(), static_cast<size_t>(got));
    if (got < 0) throw FormatError("无法读取部件 " + name + " (cannot read part)");
  };
  return entry;
}

bool PatchesWorkbookPart(const XlsxPatch& patch) {
  return patch.tabRatio >= 0 || patch.date1904 || !patch.veryHiddenSheets.empty();
}

std::string PatchWorkbookPart(std::string xml, const XlsxPatch& patch) {
  if (patch.tabRatio >= 0) InsertAttribute(xml, "workbookView", "tabRatio=\"" + std::to_string(patch.tabRatio) + "\"");
  if (patch.date1904) InsertAttribute(xml, "workbookPr", "date1904=\"1\"");
  for (const int32_t sheet : patch.veryHiddenSheets) {
    size_t pos = xml.find("<sheets>");
    for (int32_t k = 0; k < sheet && pos != std::string::npos; ++k) pos = xml.find("<sheet ", pos + 1);
    if (pos == std::string::npos) continue;
    const size_t end = xml.find('>', pos);
    const size_t state = xml.find("state=\"hidden\"", pos);
    if (state != std::string::npos && state < end) xml.replace(state, 14, "state=\"veryHidden\"");
  }
  return xml;
}

void ApplyXlsxPatch(const std::string& path, const XlsxPatch& patch) {
  if (patch.topLeftCells.empty()) return;
  int code = 0;
  std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open(path.c_str(), 0, &code));
  if (!archive) throw FormatError("无法重新打开已写入的文件 (cannot reopen the written file)");
  std::deque<std::string> buffers;  // must live until the archive is closed
  for (const auto& [sheet, cell] : patch.topLeftCells) {
    const std::string name = "xl/worksheets/sheet" + std::to_string(sheet) + ".xml";
    // Only the head of a sheet is changed, but the entry is rewritten whole.
    std::string xml = ReadEntry(archive.get(), name);
    InsertAttribute(xml, "sheetView", "topLeftCell=\"" + cell + "\"");
    const zip_int64_t index = zip_name_locate(archive.get(), name.c_str(), 0);
    if (index < 0) throw FormatError("缺少部件 " + name + " (missing part)");
    buffers.push_back(std::move(xml));
    zip_source_t* source = zip_source_buffer(archive.get(), buffers.back().data(), buffers.back().size(), 0);
    if (source == nullptr) throw FormatError(kTextTooLarge);
    if (zip_file_replace(archive.get(), static_cast<zip_uint64_t>(index), source, 0) != 0) {
      zip_source_free(source);
      throw FormatError("无法修改部件 " + name + " (cannot update part)");
    }
  }
  zip_t* raw = archive.release();
  if (zip_close(raw) != 0) {
    zip_discard(raw);
    throw FormatError("无法写入文件 (cannot write the file)");
  }
}

}  // namespace fenban::files
