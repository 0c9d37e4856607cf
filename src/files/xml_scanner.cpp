#include "files/xml_scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "files/xlsx_conversions.h"
#include "files/zip_archive.h"

namespace fenban::files {

namespace {

// What a byte of character data or of an attribute value asks for.
enum ByteClass : uint8_t {
  kPlain,    // copied as it is
  kLead,     // starts a UTF-8 sequence, checked whole
  kDecode,   // a reference, or a line end or tab that is normalised
  kBracket,  // "]]>" may not appear in character data
  kRefused,  // a byte XML does not allow here
};

constexpr std::array<uint8_t, 256> MakeClasses(bool attribute) {
  std::array<uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    uint8_t kind = kPlain;
    if (c < 0x20 || c == 0x7F || c == '<') kind = kRefused;
    if (c == '\t' || c == '\n') kind = attribute ? kDecode : kPlain;
    if (c == '\r' || c == '&') kind = kDecode;
    if (c == ']' && !attribute) kind = kBracket;
    if (c >= 0x80) kind = kLead;
    classes[static_cast<size_t>(c)] = kind;
  }
  return classes;
}

constexpr std::array<uint8_t, 256> kTextClasses = MakeClasses(false);
constexpr std::array<uint8_t, 256> kAttributeClasses = MakeClasses(true);

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Names: ASCII letters, '_' and ':' first, then also digits, '-' and '.'.
enum NameClass : uint8_t { kNotName, kNameStart, kNameRest };

constexpr std::array<uint8_t, 256> MakeNameClasses() {
  std::array<uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    uint8_t kind = kNotName;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':') kind = kNameStart;
    if ((c >= '0' && c <= '9') || c == '-' || c == '.') kind = kNameRest;
    classes[static_cast<size_t>(c)] = kind;
  }
  return classes;
}

constexpr std::array<uint8_t, 256> kNameClasses = MakeNameClasses();

uint8_t NameClassOf(char c) { return kNameClasses[static_cast<unsigned char>(c)]; }

// Names are short: compared here rather than by a call to memcmp.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

void SkipSpace(const char*& q, const char* end) {
  while (q < end && IsSpace(*q)) ++q;
}

// The part of a qualified name after its prefix (as LocalName does).
std::string_view LocalPart(std::string_view name) {
  const size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the UTF-8 sequence at p if it is well formed and a character
// XML allows (no surrogates, no U+FFFE or U+FFFF); 0 otherwise.
size_t Utf8Length(const char* p, const char* end) {
  const auto at = [p](size_t i) { return static_cast<unsigned char>(p[i]); };
  const unsigned char c = at(0);
  const auto left = static_cast<size_t>(end - p);
  if (c < 0xC2) return 0;
  if (c < 0xE0) return left >= 2 && Continuation(at(1)) ? 2 : 0;
  if (c < 0xF0) {
    if (left < 3 || !Continuation(at(1)) || !Continuation(at(2))) return 0;
    if (c == 0xE0 && at(1) < 0xA0) return 0;                     // overlong
    if (c == 0xED && at(1) >= 0xA0) return 0;                    // surrogate
    if (c == 0xEF && at(1) == 0xBF && at(2) >= 0xBE) return 0;  // U+FFFE, U+FFFF
    return 3;
  }
  if (c < 0xF5) {
    if (left < 4 || !Continuation(at(1)) || !Continuation(at(2)) || !Continuation(at(3))) return 0;
    if (c == 0xF0 && at(1) < 0x90) return 0;  // overlong
    if (c == 0xF4 && at(1) >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

bool IsXmlCharacter(uint32_t code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// Appends what the reference at p ("&amp;", "&#20013;", "&#x4E2D;") stands
// for and moves p past it; false for any other reference.
bool AppendReference(const char*& p, const char* end, std::string& out) {
  const auto left = static_cast<size_t>(end - p);
  const auto* semicolon = static_cast<const char*>(std::memchr(p, ';', std::min<size_t>(left, 12)));
  if (semicolon == nullptr) return false;
  const std::string_view name(p + 1, static_cast<size_t>(semicolon - p - 1));
  p = semicolon + 1;
  if (name == "lt") out.push_back('<');
  else if (name == "gt") out.push_back('>');
  else if (name == "amp") out.push_back('&');
  else if (name == "quot") out.push_back('"');
  else if (name == "apos") out.push_back('\'');
  else if (name.size() >= 2 && name[0] == '#') {
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > (hex ? 6 : 7)) return false;
    uint32_t code = 0;
    for (const char c : digits) {
      uint32_t digit = 0;
      if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
      else if (hex && c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
      else if (hex && c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
      else return false;
      code = code * (hex ? 16 : 10) + digit;
    }
    if (!IsXmlCharacter(code)) return false;
    AppendUtf8(out, code);
  } else {
    return false;
  }
  return true;
}

// Checks the character data or attribute value [begin, end) and decodes
// its references and line ends; `result` views the text as the handler gets
// it, [begin, end) itself when nothing needed decoding, else `scratch`.
// False when the text holds something not handled.
bool DecodeRun(const char* begin, const char* end, bool attribute, std::string& scratch, std::string_view& result) {
  const auto& classes = attribute ? kAttributeClasses : kTextClasses;
  const char* p = begin;
  const char* copied = begin;  // the bytes before this are in scratch
  bool decoding = false;
  while (p < end) {
    const auto c = static_cast<unsigned char>(*p);
    switch (classes[c]) {
      case kPlain:
        ++p;
        continue;
      case kLead: {
        const size_t length = Utf8Length(p, end);
        if (length == 0) return false;
        p += length;
        continue;
      }
      case kBracket:
        if (end - p >= 3 && p[1] == ']' && p[2] == '>') return false;
        ++p;
        continue;
      case kRefused:
        return false;
      default:
        break;
    }
    if (!decoding) {
      scratch.clear();
      decoding = true;
    }
    scratch.append(copied, p);
    if (c == '&') {
      if (!AppendReference(p, end, scratch)) return false;
    } else if (c == '\r') {
      // A line end is "\n" in character data and a space in an attribute value.
      scratch.push_back(attribute ? ' ' : '\n');
      ++p;
      if (p < end && *p == '\n') ++p;
    } else {
      scratch.push_back(' ');  // a tab or line feed in an attribute value
      ++p;
    }
    copied = p;
  }
  if (!decoding) {
    result = std::string_view(begin, static_cast<size_t>(end - begin));
    return true;
  }
  scratch.append(copied, end);
  result = scratch;
  return true;
}

}  // namespace

bool XmlScanner::Feed(const char* data, size_t size) {
  if (refused_) return false;
  size_t from = 0;  // bytes of data already scanned as part of the carried token
  if (!carry_.empty()) {
    // Completes the carried token with as little of the new piece as it needs.
    const size_t kept = carry_.size();
    size_t step = std::max<size_t>(kept, 256);
    for (;;) {
      const size_t more = std::min(step, size - from);
      carry_.append(data + from, more);
      from += more;
      const size_t used = Scan(carry_.data(), carry_.size(), false);
      if (refused_) return false;
      if (used >= kept && used > 0) {
        // The carried token is complete (character data ends with the next '<', its own or not).
        from -= carry_.size() - used;
        carry_.clear();
        break;
      }
      if (used != 0) {
        refused_ = true;  // cannot happen: the carried bytes held no whole token
        return false;
      }
      if (carry_.size() > kMaxToken) {
        refused_ = true;
        return false;
      }
      if (from == size) return true;
      step *= 2;
    }
  }
  const size_t used = Scan(data + from, size - from, false);
  if (refused_) return false;
  carry_.assign(data + from + used, size - from - used);
  if (carry_.size() > kMaxToken) refused_ = true;
  return !refused_;
}

bool XmlScanner::Finish() {
  if (refused_) return false;
  if (!carry_.empty() && Scan(carry_.data(), carry_.size(), true) != carry_.size()) refused_ = true;
  return !refused_ && rootDone_;
}

size_t XmlScanner::Scan(const char* data, size_t size, bool last) {
  const char* p = data;
  const char* end = data + size;
  while (p < end) {
    const char* token = p;
    const Step step = *p == '<' ? ScanMarkup(p, end) : ScanText(p, end, last);
    if (step == Step::Done) {
      atStart_ = false;
      continue;
    }
    if (step == Step::Refuse) refused_ = true;
    return static_cast<size_t>(token - data);
  }
  return size;
}

XmlScanner::Step XmlScanner::ScanText(const char*& p, const char* end, bool last) {
  const auto* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
  if (lt == nullptr) {
    if (!last) return Step::More;
    lt = end;
  }
  if (openStarts_.empty()) {
    // Outside the root element only white space is handled.
    if (!std::all_of(p, lt, IsSpace)) return Step::Refuse;
    p = lt;
    return Step::Done;
  }
  std::string_view text;
  if (!DecodeRun(p, lt, false, text_, text)) return Step::Refuse;
  p = lt;
  handler_.Text(text);
  return Step::Done;
}

XmlScanner::Step XmlScanner::ScanMarkup(const char*& p, const char* end) {
  if (end - p < 2) return Step::More;
  switch (p[1]) {
    case '/':
      return ScanEndTag(p, end);
    case '?':
      return ScanDeclaration(p, end);
    case '!':
      return Step::Refuse;  // comments, CDATA, document type declarations
    default:
      return ScanStartTag(p, end);
  }
}

void XmlScanner::CloseElement() {
  open_.resize(openStarts_.back());
  openStarts_.pop_back();
  if (openStarts_.empty()) rootDone_ = true;
}

XmlScanner::Step XmlScanner::SkipName(const char*& q, const char* end) {
  if (q == end) return Step::More;
  if (NameClassOf(*q) != kNameStart) return Step::Refuse;
  ++q;
  while (q < end && NameClassOf(*q) != kNotName) ++q;
  return q == end ? Step::More : Step::Done;
}

XmlScanner::Step XmlScanner::ScanStartTag(const char*& p, const char* end) {
  if (rootDone_) return Step::Refuse;  // a second root element
  const char* q = p + 1;
  if (const Step step = SkipName(q, end); step != Step::Done) return step;
  const std::string_view name(p + 1, static_cast<size_t>(q - p - 1));
  attrText_.clear();
  attrOffsets_.clear();
  bool empty = false;
  for (;;) {
    const char* spaces = q;
    SkipSpace(q, end);
    if (q == end) return Step::More;
    if (*q == '>') {
      ++q;
      break;
    }
    if (*q == '/') {
      if (q + 1 == end) return Step::More;
      if (q[1] != '>') return Step::Refuse;
      q += 2;
      empty = true;
      break;
    }
    if (q == spaces) return Step::Refuse;  // attributes are set apart by white space
    const char* attrName = q;
    if (const Step step = SkipName(q, end); step != Step::Done) return step;
    const std::string_view attribute(attrName, static_cast<size_t>(q - attrName));
    SkipSpace(q, end);
    if (q == end) return Step::More;
    if (*q != '=') return Step::Refuse;
    ++q;
    SkipSpace(q, end);
    if (q == end) return Step::More;
    const char quote = *q;
    if (quote != '"' && quote != '\'') return Step::Refuse;
    ++q;
    // Most values are short and plain: taken as they are, as far as the quote.
    const char* close = q;
    while (close < end && *close != quote && kAttributeClasses[static_cast<unsigned char>(*close)] == kPlain) ++close;
    std::string_view value(q, static_cast<size_t>(close - q));
    if (close == end || *close != quote) {
      close = static_cast<const char*>(std::memchr(close, quote, static_cast<size_t>(end - close)));
      if (close == nullptr) return Step::More;
      if (!DecodeRun(q, close, true, text_, value)) return Step::Refuse;
    }
    if (attrOffsets_.size() >= 2 * kMaxAttributes) return Step::Refuse;  // each is compared with all before
    for (size_t i = 0; i < attrOffsets_.size(); i += 2) {
      const std::string_view earlier(attrText_.data() + attrOffsets_[i], attrOffsets_[i + 1] - attrOffsets_[i] - 1);
      if (SameName(attribute, earlier)) return Step::Refuse;  // given twice
    }
    attrOffsets_.push_back(attrText_.size());
    attrText_.append(attribute);
    attrText_.push_back('\0');
    attrOffsets_.push_back(attrText_.size());
    attrText_.append(value);
    attrText_.push_back('\0');
    q = close + 1;
  }
  attrs_.clear();
  for (const size_t offset : attrOffsets_) attrs_.push_back(attrText_.data() + offset);
  attrs_.push_back(nullptr);
  p = q;
  const std::string_view local = LocalPart(name);
  if (empty) {
    if (openStarts_.empty()) rootDone_ = true;
  } else {
    openStarts_.push_back(open_.size());
    open_.append(name);
  }
  handler_.Start(local, attrs_.data());
  if (empty) handler_.End(local);
  return Step::Done;
}

XmlScanner::Step XmlScanner::ScanEndTag(const char*& p, const char* end) {
  if (!openStarts_.empty()) {
    // Mostly the tag is just the name of the open element, checked when it opened, and '>'.
    const std::string_view open = std::string_view(open_).substr(openStarts_.back());
    const char* q = p + 2;
    if (static_cast<size_t>(end - q) > open.size() && q[open.size()] == '>' &&
        SameName(open, std::string_view(q, open.size()))) {
      p = q + open.size() + 1;
      const std::string_view local = LocalPart(std::string_view(q, open.size()));  // not into open_, which shrinks
      CloseElement();
      handler_.End(local);
      return Step::Done;
    }
  }
  const char* q = p + 2;
  if (const Step step = SkipName(q, end); step != Step::Done) return step;
  const std::string_view name(p + 2, static_cast<size_t>(q - p - 2));
  SkipSpace(q, end);
  if (q == end) return Step::More;
  if (*q != '>' || openStarts_.empty()) return Step::Refuse;
  if (!SameName(std::string_view(open_).substr(openStarts_.back()), name)) return Step::Refuse;  // mismatched
  CloseElement();
  p = q + 1;
  handler_.End(LocalPart(name));
  return Step::Done;
}

// Only the XML declaration, first in the document, of version 1.0 in UTF-8:
// <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
XmlScanner::Step XmlScanner::ScanDeclaration(const char*& p, const char* end) {
  if (!atStart_) return Step::Refuse;
  const char* close = p + 2;
  while (close + 1 < end && !(close[0] == '?' && close[1] == '>')) ++close;
  if (close + 1 >= end) return end - p > 256 ? Step::Refuse : Step::More;
  std::string_view body(p + 2, static_cast<size_t>(close - p - 2));
  if (body.substr(0, 3) != "xml") return Step::Refuse;
  body.remove_prefix(3);
  int fields = 0;  // 1 after the version, 2 after the encoding, 3 after standalone
  for (;;) {
    const size_t spaces = std::min(body.size(), body.find_first_not_of(" \t\r\n"));
    body.remove_prefix(spaces);
    if (body.empty()) break;
    if (spaces == 0) return Step::Refuse;
    const size_t equals = body.find('=');
    if (equals == std::string_view::npos) return Step::Refuse;
    std::string_view field = body.substr(0, equals);
    field = field.substr(0, field.find_last_not_of(" \t\r\n") + 1);
    body.remove_prefix(equals + 1);
    body.remove_prefix(std::min(body.size(), body.find_first_not_of(" \t\r\n")));
    if (body.empty() || (body[0] != '"' && body[0] != '\'')) return Step::Refuse;
    const size_t closing = body.find(body[0], 1);
    if (closing == std::string_view::npos) return Step::Refuse;
    const std::string_view value = body.substr(1, closing - 1);
    body.remove_prefix(closing + 1);
    if (field == "version" && fields == 0 && value == "1.0") {
      fields = 1;
    } else if (field == "encoding" && fields == 1 && (value == "UTF-8" || value == "utf-8")) {
      fields = 2;
    } else if (field == "standalone" && (fields == 1 || fields == 2) && (value == "yes" || value == "no")) {
      fields = 3;
    } else {
      return Step::Refuse;
    }
  }
  if (fields == 0) return Step::Refuse;
  p = close + 2;
  return Step::Done;
}

bool ScanXmlEntry(const ZipArchive& zip, const std::string& part, XmlHandler& handler) {
  struct Refused {};
  XmlScanner scanner(handler);
  try {
    zip.Stream(part, [&scanner](const char* data, size_t size) {
      if (!scanner.Feed(data, size)) throw Refused{};
    });
  } catch (const Refused&) {
    return false;
  }
  return scanner.Finish();
}

bool ScanXmlText(std::string_view xml, XmlHandler& handler) {
  XmlScanner scanner(handler);
  return scanner.Feed(xml.data(), xml.size()) && scanner.Finish();
}

}  // namespace fenban::files
