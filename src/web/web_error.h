// A request the page made that cannot be carried out: the HTTP status and
// the dialog the page shows (title and text, in Chinese with English).
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "sheets/workbook_layout.h"

namespace fenban::web {

// The title of a message about a wrong choice, as the form's own messages have it.
inline constexpr const char* kNotice = sheets::kNoticeTitle;
inline constexpr const char* kErrorTitle = sheets::kErrorTitle;

class WebError : public std::runtime_error {
 public:
  WebError(int status, std::string title, const std::string& text, nlohmann::json detail = nullptr)
      : std::runtime_error(text), status_(status), title_(std::move(title)), detail_(std::move(detail)) {}
  int Status() const { return status_; }
  const std::string& Title() const { return title_; }
  // More for the page beside the message, such as what changed in a
  // conflict; null when there is nothing.
  const nlohmann::json& Detail() const { return detail_; }

 private:
  int status_;
  std::string title_;
  nlohmann::json detail_;
};

// The title of the refusal when the files changed after the page read them.
inline constexpr const char* kChangedTitle = "文件已被改动";

}  // namespace fenban::web
