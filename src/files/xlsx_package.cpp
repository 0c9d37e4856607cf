// The package layer of an .xlsx file: content types, relationships, and
// the parts the model does not keep.
#include <algorithm>

#include "files/file_error.h"
#include "files/xlsx_reader_internal.h"
#include "files/xml_parser.h"
#include "files/zip_archive.h"

namespace fenban::files {

namespace {

constexpr uint64_t kMaxSmallPart = uint64_t{64} << 20;

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& ch : lower) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return lower;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const auto hex = [](char ch) {
        if (ch >= '0' && ch <= '9') return ch - '0';
        if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
        return -1;
      };
      const int high = hex(text[i + 1]), low = hex(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

class RelationshipsHandler : public XmlHandler {
 public:
  RelationshipsHandler(const std::string& sourcePart, std::vector<Relationship>& out) : source_(sourcePart), out_(out) {}
  void Start(std::string_view name, const char** attrs) override {
    if (name != "Relationship") return;
    const char* id = FindAttr(attrs, "Id");
    const char* type = FindAttr(attrs, "Type");
    const char* target = FindAttr(attrs, "Target");
    if (id == nullptr || type == nullptr || target == nullptr) return;
    Relationship rel;
    rel.id = id;
    std::string_view typeText(type);
    const size_t slash = typeText.rfind('/');
    rel.type = std::string(slash == std::string_view::npos ? typeText : typeText.substr(slash + 1));
    const char* mode = FindAttr(attrs, "TargetMode");
    rel.external = mode != nullptr && std::string_view(mode) == "External";
    rel.target = rel.external ? std::string(target) : ResolvePartName(source_, PercentDecode(target));
    out_.push_back(std::move(rel));
  }
  void End(std::string_view) override {}

 private:
  const std::string& source_;
  std::vector<Relationship>& out_;
};

class ContentTypesHandler : public XmlHandler {
 public:
  explicit ContentTypesHandler(const std::string& part) : part_(AsciiLower("/" + part)) {
    const size_t dot = part.rfind('.');
    extension_ = dot == std::string::npos ? "" : AsciiLower(part.substr(dot + 1));
  }
  void Start(std::string_view name, const char** attrs) override {
    const char* type = FindAttr(attrs, "ContentType");
    if (type == nullptr) return;
    if (name == "Override") {
      const char* partName = FindAttr(attrs, "PartName");
      if (partName != nullptr && AsciiLower(partName) == part_) overrideType_ = type;
    } else if (name == "Default") {
      const char* extension = FindAttr(attrs, "Extension");
      if (extension != nullptr && AsciiLower(extension) == extension_) defaultType_ = type;
    }
  }
  void End(std::string_view) override {}
  std::string Type() const { return overrideType_.empty() ? defaultType_ : overrideType_; }

 private:
  std::string part_, extension_, overrideType_, defaultType_;
};

}  // namespace

void UnkeptParts::Add(const std::string& what) {
  if (std::find(list_.begin(), list_.end(), what) == list_.end()) list_.push_back(what);
}

std::string RelationshipsPartOf(const std::string& part) {
  const size_t slash = part.rfind('/');
  if (slash == std::string::npos) return "_rels/" + part + ".rels";
  return part.substr(0, slash) + "/_rels/" + part.substr(slash + 1) + ".rels";
}

std::string ResolvePartName(const std::string& sourcePart, const std::string& target) {
  std::string joined;
  if (!target.empty() && target.front() == '/') {
    joined = target.substr(1);
  } else {
    const size_t slash = sourcePart.rfind('/');
    joined = slash == std::string::npos ? target : sourcePart.substr(0, slash + 1) + target;
  }
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    const std::string segment = joined.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& segment : segments) {
    if (!result.empty()) result += '/';
    result += segment;
  }
  return result;
}

std::vector<Relationship> ReadRelationships(const ZipArchive& zip, const std::string& sourcePart) {
  std::vector<Relationship> rels;
  const std::string relsPart = zip.StoredName(RelationshipsPartOf(sourcePart));
  if (relsPart.empty()) return rels;
  RelationshipsHandler handler(sourcePart, rels);
  ParseXmlEntry(zip, relsPart, handler);
  return rels;
}

std::string FindWorkbookPart(const ZipArchive& zip) {
  for (const auto& rel : ReadRelationships(zip, "")) {
    if (rel.type == "officeDocument" && !rel.external && zip.Has(rel.target)) return zip.StoredName(rel.target);
  }
  return zip.StoredName("xl/workbook.xml");
}

std::string ContentTypeOf(const ZipArchive& zip, const std::string& part) {
  const std::string typesPart = zip.StoredName("[Content_Types].xml");
  if (typesPart.empty()) return "";
  ContentTypesHandler handler(part);
  ParseXmlText(zip.Read(typesPart, kMaxSmallPart), typesPart, handler);
  return handler.Type();
}

void CollectUnkeptPackageParts(const ZipArchive& zip, UnkeptParts& unkept) {
  bool hasComments = false;
  for (const auto& stored : zip.Names()) {
    const std::string name = AsciiLower(stored);
    if (StartsWith(name, "xl/comments") || StartsWith(name, "xl/threadedcomments/")) hasComments = true;
  }
  for (const auto& stored : zip.Names()) {
    const std::string name = AsciiLower(stored);
    if (name.find("/_rels/") != std::string::npos || name.back() == '/') continue;
    if (StartsWith(name, "xl/charts/")) {
      unkept.Add("图表 (charts)");
    } else if (StartsWith(name, "xl/chartsheets/")) {
      unkept.Add("图表工作表 (chart sheets)");
    } else if (StartsWith(name, "xl/dialogsheets/")) {
      unkept.Add("对话框工作表 (dialog sheets)");
    } else if (StartsWith(name, "xl/macrosheets/")) {
      unkept.Add("宏表 (macro sheets)");
    } else if (StartsWith(name, "xl/media/")) {
      unkept.Add("图片 (pictures)");
    } else if (StartsWith(name, "xl/drawings/vmldrawing")) {
      if (!hasComments) unkept.Add("控件或图形 (controls or shapes)");
    } else if (StartsWith(name, "xl/drawings/")) {
      unkept.Add("图形 (drawings)");
    } else if (StartsWith(name, "xl/comments") || StartsWith(name, "xl/threadedcomments/")) {
      unkept.Add("批注 (comments)");
    } else if (name.size() >= 14 && name.substr(name.size() - 14) == "vbaproject.bin") {
      unkept.Add("宏 (macros)");
    } else if (StartsWith(name, "xl/pivottables/") || StartsWith(name, "xl/pivotcache/")) {
      unkept.Add("数据透视表 (pivot tables)");
    } else if (StartsWith(name, "xl/externallinks/")) {
      unkept.Add("外部链接 (external links)");
    } else if (StartsWith(name, "xl/tables/")) {
      unkept.Add("表格 (tables)");
    } else if (StartsWith(name, "xl/activex/") || StartsWith(name, "xl/ctrlprops/")) {
      unkept.Add("控件 (controls)");
    } else if (StartsWith(name, "xl/embeddings/")) {
      unkept.Add("嵌入对象 (embedded objects)");
    } else if (StartsWith(name, "xl/slicers/") || StartsWith(name, "xl/slicercaches/") ||
               StartsWith(name, "xl/timelines/") || StartsWith(name, "xl/timelinecaches/")) {
      unkept.Add("切片器 (slicers)");
    } else if (name == "xl/connections.xml" || StartsWith(name, "xl/querytables/")) {
      unkept.Add("数据连接 (data connections)");
    }
  }
}

void CollectUnkeptSheetRelations(const ZipArchive& zip, const std::string& part, UnkeptParts& unkept) {
  for (const auto& rel : ReadRelationships(zip, part)) {
    if (rel.type == "drawing") {
      unkept.Add("图形 (drawings)");
    } else if (rel.type == "comments") {
      unkept.Add("批注 (comments)");
    } else if (rel.type == "vmlDrawing") {
      // Comments and form controls draw through VML; comments are named on their own.
    } else if (rel.type == "table") {
      unkept.Add("表格 (tables)");
    } else if (rel.type == "pivotTable") {
      unkept.Add("数据透视表 (pivot tables)");
    } else if (rel.type == "image") {
      unkept.Add("图片 (pictures)");
    } else if (rel.type == "oleObject" || rel.type == "package") {
      unkept.Add("嵌入对象 (embedded objects)");
    } else if (rel.type == "control") {
      unkept.Add("控件 (controls)");
    }
  }
}

}  // namespace fenban::files
