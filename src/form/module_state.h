// The three module variables that myfb keeps for its lifetime.
#pragma once

#include <cstdint>
#include <string>

namespace fenban::form {

struct ModuleState {
  std::string DataBookName;  // the chosen data workbook's file name ("" before the first choice)
  int32_t NextSheetNo = 0;   // number of the next division sheet pair
  int32_t SkipSheetNo = 0;   // a number the division does not hand out
};

}  // namespace fenban::form
