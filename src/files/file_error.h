// Errors of the file layer. Parsers throw FormatError with what is wrong;
// the public entry points turn it into host::RuntimeError(kErrFile) whose
// description names the file.
#pragma once

#include <stdexcept>
#include <string>

namespace fenban::files {

// What is wrong with a file's content, without the file's name. `text` is a
// short Chinese phrase followed by its English gloss in parentheses.
class FormatError : public std::runtime_error {
 public:
  explicit FormatError(const std::string& text) : std::runtime_error(text) {}
};

// Common phrases.
inline constexpr const char* kTextEncrypted =
    "文件设有打开密码（已加密），读不了。请在电子表格程序里用密码打开它，取消密码后保存，再选用 "
    "(the file is password-protected: remove the password in the spreadsheet program and save it)";
inline constexpr const char* kTextNotWorkbook =
    "不是 Excel 工作簿（.xlsx 或 .xls） (not an Excel workbook)";
inline constexpr const char* kTextDamaged = "文件已损坏或不完整 (the file is damaged or incomplete)";
inline constexpr const char* kTextTooLarge = "文件内容过大 (the file's content is too large)";
inline constexpr const char* kTextNameTooLong =
    "文件名太长，无法在它旁边保存，请改用短一些的文件名 (the file name is too long to save beside it; use a shorter name)";
inline constexpr const char* kTextDiskFull = "磁盘已满 (the disk is full)";

// The last component of a path.
std::string FileNameOf(const std::string& path);
// The folder part of a path without a trailing separator ("." when none).
std::string FolderOf(const std::string& path);

// host::RuntimeError(kErrFile, "无法读取文件“name”：what").
[[noreturn]] void RaiseReadError(const std::string& path, const std::string& what);
// host::RuntimeError(kErrFile, "无法保存文件“name”：what").
[[noreturn]] void RaiseWriteError(const std::string& path, const std::string& what);

}  // namespace fenban::files
