// libFuzzer target: the fast scanner of sheet parts against expat. Whatever
// the input, the scanner either refuses it or gives expat's events, fed
// whole or in pieces; it never accepts what expat finds malformed.
// Seeds: the XML parts of the test workbooks, e.g.
//   for f in ../../tests/data/*.xlsx; do unzip -o -q -d seeds/$(basename $f) $f; done
//   ./xml_scanner_fuzz -max_total_time=300 corpus/ $(find seeds -name '*.xml')
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "files/file_error.h"
#include "files/xml_parser.h"
#include "files/xml_scanner.h"

namespace {

using fenban::files::XmlHandler;

// The events as one text, character data joined between tags.
class Events : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    text_ += "\x01<";
    text_.append(name);
    for (size_t i = 0; attrs[i] != nullptr; i += 2) (((text_ += '\x02') += attrs[i]) += '=') += attrs[i + 1];
    text_ += '\x01';
  }
  void End(std::string_view name) override {
    text_ += "\x01/";
    text_.append(name);
    text_ += '\x01';
  }
  void Text(std::string_view text) override { text_.append(text); }
  const std::string& Get() const { return text_; }

 private:
  std::string text_;
};

std::optional<std::string> Scanned(std::string_view xml, size_t piece) {
  Events events;
  fenban::files::XmlScanner scanner(events);
  for (size_t i = 0; i < xml.size(); i += piece) {
    if (!scanner.Feed(xml.data() + i, std::min(piece, xml.size() - i))) return std::nullopt;
  }
  if (!scanner.Finish()) return std::nullopt;
  return events.Get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view xml(reinterpret_cast<const char*>(data), size);
  std::optional<std::string> expected;
  try {
    Events events;
    fenban::files::ParseXmlText(xml, "fuzz", events);
    expected = events.Get();
  } catch (const fenban::files::FormatError&) {
  }
  const auto whole = Scanned(xml, size + 1);
  if (whole && (!expected || *whole != *expected)) __builtin_trap();
  for (const size_t piece : {size_t{1}, size_t{3}, size_t{64}}) {
    if (Scanned(xml, piece) != whole) __builtin_trap();
  }
  return 0;
}
