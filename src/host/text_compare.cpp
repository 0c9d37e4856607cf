#include "host/text_compare.h"

namespace fenban::host {

bool SameText(const Value& a, const Value& b) {
  if (a.IsText() && b.IsText()) {
    // One shared text held by both needs no comparison of its characters.
    const std::string_view x = a.Text();
    const std::string_view y = b.Text();
    return (x.data() == y.data() && x.size() == y.size()) || x == y;
  }
  // Equal numbers show the same text; unequal ones may still (a number's
  // text is rounded), so only the plain answer is taken here.
  if (a.IsNumber() && b.IsNumber() && a.Number() == b.Number()) return true;
  if (a.IsEmpty() && b.IsEmpty()) return true;
  return a.ToText() == b.ToText();
}

bool TextEquals(const Value& value, std::string_view text) {
  if (value.IsText()) return value.Text() == text;
  if (value.IsEmpty()) return text.empty();
  return value.ToText() == text;
}

}  // namespace fenban::host
