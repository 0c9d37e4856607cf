#include "web/file_rules.h"

#include <algorithm>
#include <cctype>

namespace fenban::web {

namespace {

std::string LowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::optional<std::string> UploadNameProblem(const std::string& name) {
  if (name.empty()) return "没有文件名 (no file name)";
  if (name.size() > 200) return "文件名太长 (file name too long)";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == ':') {
      return "文件名不能含有路径或特殊字符 (the name must be a plain file name)";
    }
  }
  if (name[0] == '.' || name.rfind("~$", 0) == 0) {
    return "不能上传隐藏文件或锁文件 (hidden and lock files are refused)";
  }
  std::string lower = LowerAscii(name);
  std::string extension = EndsWith(lower, ".xlsx") ? ".xlsx"
                          : EndsWith(lower, ".xls") ? ".xls"
                          : EndsWith(lower, ".csv") ? ".csv"
                                                    : "";
  if (extension.empty()) return "只能上传 .xlsx、.xls 工作簿或 .csv 名单 (only .xlsx and .xls workbooks and .csv lists)";
  if (name.size() == extension.size()) return "文件名不能只有扩展名 (the name is only an extension)";
  return std::nullopt;
}

}  // namespace fenban::web
