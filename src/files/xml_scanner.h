// The fast path for the large parts of a workbook (worksheets, shared
// strings): a small, strict scanner for the XML spreadsheet programs write.
// It knows elements, attributes, character data, the five predefined
// entities, numeric character references and a UTF-8 XML declaration, and
// gives the handler the same events expat would (character data may come in
// other pieces). Anything else (a document type declaration, CDATA,
// comments, processing instructions, other encodings, a byte order mark,
// non-ASCII names, a token carried across pieces beyond kMaxToken, an
// element with more than kMaxAttributes attributes) and anything malformed
// is refused rather than judged: the part is then parsed by expat
// (xml_parser.h), which gives the messages for broken files. The scanner
// only gives the events of a token once it has found the token sound, so up
// to the point where it refuses, its events are the ones expat gives.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "files/xml_parser.h"

namespace fenban::files {

class ZipArchive;

class XmlScanner {
 public:
  explicit XmlScanner(XmlHandler& handler) : handler_(handler) {}

  // Takes the next piece of the document; false once the scanner has met
  // something it does not handle. Exceptions of the handler pass through.
  bool Feed(const char* data, size_t size);
  // The document has ended: false when it was refused or is not complete.
  bool Finish();

  // A token (a tag, or the text between two tags) carried over pieces beyond
  // this length is left to expat.
  static constexpr size_t kMaxToken = size_t{4} << 20;
  // An element with more attributes than this is left to expat.
  static constexpr size_t kMaxAttributes = 64;

 private:
  enum class Step { Done, More, Refuse };
  // Scans the complete tokens at the start of [data, data + size); returns
  // the bytes they take. Sets refused_ on a token not handled.
  size_t Scan(const char* data, size_t size, bool last);
  Step ScanText(const char*& p, const char* end, bool last);
  Step ScanMarkup(const char*& p, const char* end);
  Step ScanStartTag(const char*& p, const char* end);
  Step ScanEndTag(const char*& p, const char* end);
  Step ScanDeclaration(const char*& p, const char* end);
  // Forgets the innermost open element.
  void CloseElement();
  // Moves q past a name; Done when something follows it.
  static Step SkipName(const char*& q, const char* end);

  XmlHandler& handler_;
  bool refused_ = false;
  bool atStart_ = true;      // nothing scanned yet: the place of the XML declaration
  bool rootDone_ = false;    // the root element has ended
  std::string carry_;        // an incomplete token at the end of the last piece
  std::string open_;         // names of the open elements, one after another
  std::vector<size_t> openStarts_;
  std::string text_;         // decoded character data
  std::string attrText_;     // decoded attributes: name, NUL, value, NUL, ...
  std::vector<size_t> attrOffsets_;
  std::vector<const char*> attrs_;
};

// Scans a zip entry / a text with XmlScanner. False when the scanner does
// not handle it: the events given must then be discarded and the part
// parsed by ParseXmlEntry / ParseXmlText. Exceptions of the handler and of
// the archive pass through.
bool ScanXmlEntry(const ZipArchive& zip, const std::string& part, XmlHandler& handler);
bool ScanXmlText(std::string_view xml, XmlHandler& handler);

}  // namespace fenban::files
