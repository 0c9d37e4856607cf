// The shared string table: plain and rich text items; phonetic runs are left out.
#include <algorithm>

#include "files/xlsx_conversions.h"
#include "files/xlsx_reader_internal.h"
#include "files/xml_parser.h"
#include "files/xml_scanner.h"

namespace fenban::files {

namespace {

class SharedStringsHandler : public XmlHandler {
 public:
  explicit SharedStringsHandler(std::vector<std::string>& strings) : strings_(strings) {}

  void Start(std::string_view name, const char** attrs) override {
    if (name == "si") {
      inItem_ = true;
      text_.clear();
    } else if (name == "t") {
      inText_ = inItem_ && phonetic_ == 0;
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "sst") {
      if (const char* count = FindAttr(attrs, "uniqueCount")) {
        const auto value = ParseFileInteger(count);
        if (value && *value > 0) strings_.reserve(static_cast<size_t>(std::min(*value, 1 << 20)));
      }
    }
  }

  void End(std::string_view name) override {
    if (name == "si") {
      DecodeXmlEscapes(text_);
      strings_.push_back(text_);
      inItem_ = false;
    } else if (name == "t") {
      inText_ = false;
    } else if (name == "rPh") {
      if (phonetic_ > 0) --phonetic_;
    }
  }

  void Text(std::string_view text) override {
    if (inText_) text_.append(text);
  }

 private:
  std::vector<std::string>& strings_;
  std::string text_;
  bool inItem_ = false, inText_ = false;
  int phonetic_ = 0;
};

}  // namespace

std::vector<std::string> ReadSharedStrings(const ZipArchive& zip, const std::string& part) {
  std::vector<std::string> strings;
  {
    SharedStringsHandler handler(strings);
    if (ScanXmlEntry(zip, part, handler)) return strings;
  }
  // Not handled by the fast scanner: expat reads the part again.
  strings.clear();
  SharedStringsHandler handler(strings);
  ParseXmlEntry(zip, part, handler);
  return strings;
}

}  // namespace fenban::files
