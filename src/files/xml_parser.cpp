#include "files/xml_parser.h"

#include <expat.h>

#include <cstring>
#include <exception>
#include <memory>

#include "files/file_error.h"
#include "files/zip_archive.h"

namespace fenban::files {

namespace {

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// Expat calls back through C frames, so nothing may be thrown across them:
// a failure is stored and the parser stopped.
struct Session {
  XML_Parser parser = nullptr;
  XmlHandler* handler = nullptr;
  std::exception_ptr failure;
  bool doctype = false;

  void Fail(std::exception_ptr error) {
    if (!failure) failure = std::move(error);
    XML_StopParser(parser, XML_FALSE);
  }
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attrs) {
  auto* session = static_cast<Session*>(data);
  if (session->failure) return;
  try {
    session->handler->Start(LocalName(name), attrs);
  } catch (...) {
    session->Fail(std::current_exception());
  }
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto* session = static_cast<Session*>(data);
  if (session->failure) return;
  try {
    session->handler->End(LocalName(name));
  } catch (...) {
    session->Fail(std::current_exception());
  }
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto* session = static_cast<Session*>(data);
  if (session->failure) return;
  try {
    session->handler->Text(std::string_view(text, static_cast<size_t>(length)));
  } catch (...) {
    session->Fail(std::current_exception());
  }
}

void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto* session = static_cast<Session*>(data);
  session->doctype = true;
  XML_StopParser(session->parser, XML_FALSE);
}

class Parser {
 public:
  Parser(const std::string& part, XmlHandler& handler) : part_(part), parser_(XML_ParserCreate(nullptr)) {
    if (!parser_) throw FormatError(kTextTooLarge);
    session_.parser = parser_.get();
    session_.handler = &handler;
    XML_SetUserData(parser_.get(), &session_);
    XML_SetElementHandler(parser_.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_.get(), OnText);
    XML_SetStartDoctypeDeclHandler(parser_.get(), OnDoctype);
  }

  void Feed(const char* data, size_t size, bool last) {
    while (size > 0 || last) {
      const size_t piece = size > (size_t{1} << 30) ? (size_t{1} << 30) : size;
      const XML_Status status = XML_Parse(parser_.get(), data, static_cast<int>(piece), last && piece == size);
      if (status != XML_STATUS_OK) Raise();
      data += piece;
      size -= piece;
      if (size == 0) break;
    }
  }

 private:
  [[noreturn]] void Raise() {
    if (session_.failure) std::rethrow_exception(session_.failure);
    if (session_.doctype) throw FormatError("部件 " + part_ + " 含有不允许的文档类型声明 (DOCTYPE not allowed)");
    const XML_Error code = XML_GetErrorCode(parser_.get());
    const std::string where = " " + part_ + " 第 " + std::to_string(XML_GetCurrentLineNumber(parser_.get())) + " 行";
    if (code == XML_ERROR_NO_ELEMENTS || code == XML_ERROR_UNCLOSED_TOKEN || code == XML_ERROR_PARTIAL_CHAR) {
      throw FormatError(std::string("部件不完整") + where + " (XML cut short)");
    }
    throw FormatError(std::string("XML 格式错误") + where + " (" + XML_ErrorString(code) + ")");
  }

  std::string part_;
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
  Session session_;
};

}  // namespace

std::string_view LocalName(const char* qualifiedName) {
  // One pass: names are short and met millions of times in a large sheet.
  const char* start = qualifiedName;
  const char* p = qualifiedName;
  for (; *p != '\0'; ++p) {
    if (*p == ':') start = p + 1;
  }
  return std::string_view(start, static_cast<size_t>(p - start));
}

const char* FindAttr(const char** attrs, std::string_view localName) {
  for (size_t i = 0; attrs[i] != nullptr; i += 2) {
    if (LocalName(attrs[i]) == localName) return attrs[i + 1];
  }
  return nullptr;
}

bool AttrTrue(const char* value) {
  return value != nullptr && (std::strcmp(value, "1") == 0 || std::strcmp(value, "true") == 0);
}

void ParseXmlEntry(const ZipArchive& zip, const std::string& part, XmlHandler& handler) {
  Parser parser(part, handler);
  zip.Stream(part, [&parser](const char* data, size_t size) { parser.Feed(data, size, false); });
  parser.Feed(nullptr, 0, true);
}

void ParseXmlText(std::string_view xml, const std::string& part, XmlHandler& handler) {
  Parser parser(part, handler);
  parser.Feed(xml.data(), xml.size(), true);
}

}  // namespace fenban::files
