// A failure of the program itself (a missing folder, an unknown workbook, a
// file that cannot be written): one message for the front end to show.
#pragma once

#include <stdexcept>
#include <string>

namespace fenban::app {

class AppError : public std::runtime_error {
 public:
  explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

// Exit statuses of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitMessage = 1;  // a message or error box, or a file problem
inline constexpr int kExitUsage = 2;

}  // namespace fenban::app
