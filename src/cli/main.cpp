// fenban: divides a school year's students into balanced classes.
#include <iostream>

#include "cli/cli_app.h"
#include "web/serve_command.h"

int main(int argc, char** argv) {
  return fenban::cli::Run(argc, argv, std::cout, std::cerr, fenban::web::RunServe);
}
