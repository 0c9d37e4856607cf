// The fenban program: parses the command line and runs one command.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace fenban::cli {

// Runs the program with its arguments (argv[0] first) and returns the exit
// status: 0 success, 1 a message, error box or file problem, 2 wrong usage.
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// Splits a subject list at commas (also the full-width "，" and "、"),
// dropping surrounding spaces and empty names.
std::vector<std::string> SplitSubjects(const std::string& list);

}  // namespace fenban::cli
