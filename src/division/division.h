// The division command and the class assignment.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "form/form.h"
#include "form/module_state.h"
#include "host/application.h"
#include "host/worksheet.h"

namespace fenban::division {

// Columns and sizes of the work table on "FBB" that the assignment needs.
struct WorkTable {
  int32_t totalColumn = 0;
  int32_t sexColumn = 0;        // "性别", 0 when absent
  int32_t boardingColumn = 0;   // "住校"
  int32_t currentColumn = 0;    // "应届"
  int32_t spareColumn = 0;      // first column right of the table
  int32_t rowCount = 0;         // rows including the header
  // The "均衡列" columns the refinement spreads: header and column.
  std::vector<std::pair<std::string, int32_t>> balanceColumns;
};

struct BalanceFlags {
  bool current = false;   // chbYingJie
  bool boarding = false;  // chbZuXiao
  bool sex = false;       // chbXingBie
};

// Numbers every student row of "FBB" with a class 1..k. Returns false when it
// ended the command with a message (a ticked box without its column).
bool AssignClasses(host::Application& app, host::Worksheet& work, const WorkTable& table, int32_t k,
                   int32_t topBlock, BalanceFlags flags);
// Moves students with a preset class into it by swapping with the nearest-scoring
// student of that class who is not preset to it. Returns false when it ended
// the command with a message: more students are preset to a class than it holds.
bool ApplyPresetClasses(host::Application& app, host::Worksheet& work, int32_t totalColumn, int32_t rowCount);
// "cmdFenBanClick": the whole division command.
void DivideClasses(host::Application& app, form::Form& form, form::ModuleState& state);

}  // namespace fenban::division
