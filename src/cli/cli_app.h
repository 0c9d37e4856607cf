// The fenban program: parses the command line and runs one command.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/command_options.h"

namespace fenban::cli {

// Runs `fenban serve` for a host folder; main.cpp hands in the web front end's.
using ServeRunner =
    std::function<int(const std::filesystem::path& folder, const app::ServeOptions& options, std::ostream& out,
                      std::ostream& err)>;

// Runs the program with its arguments (argv[0] first) and returns the exit
// status: 0 success, 1 a message, error box or file problem, 2 wrong usage.
// Without a serve runner the serve command reports that it is missing.
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
        const ServeRunner& serve = nullptr);

// Splits a subject list at commas (also the full-width "，" and "、"),
// dropping surrounding spaces and empty names.
std::vector<std::string> SplitSubjects(const std::string& list);

}  // namespace fenban::cli
