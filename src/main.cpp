// fenban: divides a school year's students into balanced classes.
// The composition root: the terminal front end parses the command line and
// runs each command; `serve` is handed to the web front end from here, so
// neither front end includes the other.
#include <iostream>

#include "cli/cli_app.h"
#include "web/serve_command.h"

int main(int argc, char** argv) {
  return fenban::cli::Run(argc, argv, std::cout, std::cerr, fenban::web::RunServe);
}
