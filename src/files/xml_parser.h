// Streaming XML (expat): the parts of a workbook are read element by
// element, never held as a tree. Element and attribute names are matched by
// their local name, so prefixed producers read the same as plain ones.
#pragma once

#include <string>
#include <string_view>

namespace fenban::files {

class ZipArchive;

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // name: local name; attrs: expat's name/value pairs, null-terminated.
  virtual void Start(std::string_view name, const char** attrs) = 0;
  virtual void End(std::string_view name) = 0;
  // Character data, possibly in several pieces.
  virtual void Text(std::string_view /*text*/) {}
};

// The part of a qualified name after its prefix.
std::string_view LocalName(const char* qualifiedName);
// The value of the attribute with this local name, or nullptr.
const char* FindAttr(const char** attrs, std::string_view localName);
// True for "1" and "true".
bool AttrTrue(const char* value);

// Parses a zip entry / a text. Throws FormatError naming the part when the
// XML is malformed or cut short; exceptions thrown by the handler pass
// through unchanged. A document type declaration is refused.
void ParseXmlEntry(const ZipArchive& zip, const std::string& part, XmlHandler& handler);
void ParseXmlText(std::string_view xml, const std::string& part, XmlHandler& handler);

}  // namespace fenban::files
