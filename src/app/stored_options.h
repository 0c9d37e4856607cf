// The option values a host folder holds now, as the help shows them.
#pragma once

#include <array>
#include <filesystem>

#include "form/option_controls.h"
#include "host/value.h"

namespace fenban::app {

struct StoredOptions {
  bool fromFolder = false;  // false: the values of a new host folder
  // Each option control's "DTB" value, in the order of form::kOptionControls.
  std::array<host::Value, form::kOptionControls.size()> values;
  bool round = false;  // the rounding choice of the entry template
  std::string balance;  // the "均衡列", "" when none
  std::string totalColumn;  // "总分列": the header of the total column, "" for "总分"
};

// The values of the host folder, or those a new host folder starts with
// when the folder has no readable fenban.xlsx. Reads only; never writes or locks.
StoredOptions ReadStoredOptions(const std::filesystem::path& folder);

}  // namespace fenban::app
