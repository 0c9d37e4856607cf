// A failure of the program itself (a missing folder, an unknown workbook, a
// file that cannot be written): one message for the front end to show.
#pragma once

#include <stdexcept>
#include <string>

namespace fenban::app {

// What kind of failure it was, for a front end that answers each kind its
// own way (the page's HTTP status); the terminal prints them all alike.
enum class ErrorKind {
  Refused,       // a wrong or missing name, folder or sheet; nothing was done
  FolderBusy,    // another command holds the host folder
  WorkbookOpen,  // a spreadsheet program has a workbook to be replaced open
  SaveFailed,    // writing failed; the files were left as they were
};

class AppError : public std::runtime_error {
 public:
  explicit AppError(const std::string& message, ErrorKind kind = ErrorKind::Refused)
      : std::runtime_error(message), kind_(kind) {}
  ErrorKind Kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

// Exit statuses of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitMessage = 1;  // a message or error box, or a file problem
inline constexpr int kExitUsage = 2;

}  // namespace fenban::app
