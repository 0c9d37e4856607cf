// What a new host workbook holds before the entry template command runs:
// the options sheet "DTB" and the subject list of "登记表". Model only, no files.
#pragma once

#include <string>
#include <vector>

namespace fenban::host {
class Worksheet;
}

namespace fenban::maintenance {

// The subjects that a new entry template lists.
std::vector<std::string> DefaultSubjects();

// Headers and default options of "DTB".
void FillSettingsSheet(host::Worksheet& dtb);
// Subject column, end marker and the rounding choice of "登记表".
void FillEntrySheet(host::Worksheet& entry);

}  // namespace fenban::maintenance
