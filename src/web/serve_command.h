// fenban serve: the page on a local web server, until Ctrl-C.
#pragma once

#include <filesystem>
#include <iosfwd>

#include "app/command_options.h"

namespace fenban::web {

// Serves the host folder and prints the address with its access token.
// Returns the exit status.
int RunServe(const std::filesystem::path& folder, const app::ServeOptions& options, std::ostream& out,
             std::ostream& err);

}  // namespace fenban::web
