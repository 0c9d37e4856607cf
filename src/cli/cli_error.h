// A failure of the program itself (a missing folder, an unknown workbook, a
// file that cannot be written): printed as one message, exit status 1.
#pragma once

#include <stdexcept>
#include <string>

namespace fenban::cli {

class CliError : public std::runtime_error {
 public:
  explicit CliError(const std::string& message) : std::runtime_error(message) {}
};

// Exit statuses of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitMessage = 1;  // a message or error box, or a file problem
inline constexpr int kExitUsage = 2;

}  // namespace fenban::cli
