#include "form/balance_columns.h"

#include <algorithm>
#include <string_view>

#include "form/form_routines.h"
#include "host/errors.h"

namespace fenban::form {

namespace {

constexpr const char* kControl = "txtJunHeng";

// The separator that starts at `at`, or an empty view.
std::string_view SeparatorAt(std::string_view text, size_t at) {
  for (std::string_view separator : {",", "，", "、", ";", "；"}) {
    if (text.substr(at, separator.size()) == separator) return separator;
  }
  return {};
}

// Spaces at either end dropped: ASCII white space, the full-width space and
// the no-break space.
std::string TrimSpaces(std::string_view name) {
  for (bool trimmed = true; trimmed && !name.empty();) {
    trimmed = false;
    for (std::string_view space : {" ", "\t", "\r", "\n", "\u3000", "\u00a0"}) {
      if (name.substr(0, space.size()) == space) {
        name.remove_prefix(space.size());
        trimmed = true;
      }
      if (name.size() >= space.size() && name.substr(name.size() - space.size()) == space) {
        name.remove_suffix(space.size());
        trimmed = true;
      }
    }
  }
  return std::string(name);
}

}  // namespace

std::vector<std::string> SplitColumnNames(const std::string& text) {
  std::vector<std::string> names;
  auto keep = [&](std::string_view piece) {
    std::string name = TrimSpaces(piece);
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  };
  const std::string_view all(text);
  size_t start = 0;
  for (size_t at = 0; at < all.size();) {
    const std::string_view separator = SeparatorAt(all, at);
    if (separator.empty()) {
      ++at;
      continue;
    }
    keep(all.substr(start, at - start));
    at += separator.size();
    start = at;
  }
  keep(all.substr(start));
  return names;
}

std::string JoinColumnNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : "、") + name;
  return text;
}

void BalanceColumnsAfterUpdate(host::Application& app, Form& form) {
  const host::Value entry = form.ControlValue(kControl);
  const std::string text = JoinColumnNames(SplitColumnNames(entry.IsEmpty() ? "" : entry.ToText()));
  const host::Value stored = text.empty() ? host::Value() : host::Value(text);
  form.SetControlValue(kControl, stored);
  SettingsSheet(app).SetCellValue(2, kBalanceColumnsColumn, stored);
}

std::vector<std::string> BalanceColumnsOption(host::Application& app, Form& form) {
  host::Value entry;
  if (!host::SkipOnError([&] { entry = form.ControlValue(kControl); })) {
    host::SkipOnError([&] { entry = SettingsSheet(app).CellValue(2, kBalanceColumnsColumn); });
  }
  return SplitColumnNames(entry.IsEmpty() || entry.IsError() ? "" : entry.ToText());
}

}  // namespace fenban::form
