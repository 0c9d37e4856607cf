// A request the page made that cannot be carried out: the HTTP status and
// the dialog the page shows (title and text, in Chinese with English).
#pragma once

#include <stdexcept>
#include <string>

namespace fenban::web {

// The title of a message about a wrong choice, as the form's own messages have it.
inline constexpr const char* kNotice = "提示";

class WebError : public std::runtime_error {
 public:
  WebError(int status, std::string title, const std::string& text)
      : std::runtime_error(text), status_(status), title_(std::move(title)) {}
  int Status() const { return status_; }
  const std::string& Title() const { return title_; }

 private:
  int status_;
  std::string title_;
};

}  // namespace fenban::web
