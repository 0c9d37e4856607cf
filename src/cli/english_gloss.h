// English for the terminal: the commands' messages are Chinese (the page and
// the Windows dialog show them as they are); the terminal adds a short
// English line to those it knows.
#pragma once

#include <string>

namespace fenban::cli {

// The English gloss of a message box's text, "" when there is none.
std::string EnglishGloss(const std::string& text);

}  // namespace fenban::cli
