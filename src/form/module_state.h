// The three module variables that myfb keeps for its lifetime.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fenban::form {

// One figure of a refined division: its largest class difference after the
// serpentine deal alone and after the refinement.
struct BalanceFigure {
  std::string name;
  double dealt = 0;
  double refined = 0;
  // A table of the statistics sheet: its title is the name, the figures are
  // its largest "最大差", and column names the column that has it after
  // refining. Otherwise a figure of whole classes (a mean, a count, a spread).
  bool sheetTable = false;
  std::string column;
};

struct ModuleState {
  std::string DataBookName;  // the chosen data workbook's file name ("" before the first choice)
  int32_t NextSheetNo = 0;   // number of the next division sheet pair
  int32_t SkipSheetNo = 0;   // a number the division does not hand out
  std::vector<BalanceFigure> LastRefinement;  // the last division's figures; empty when it was not refined
  std::vector<std::string> LastRefinementNotes;
  std::vector<std::string> ListNotes;
  int32_t AskedHeaderRow = 0;  // the header row the last division asked the teacher to confirm, 0 for none  // what the last division changed on "数据表" first (title rows, totals)  // "分开"/"同班" groups the last refinement could not meet
};

}  // namespace fenban::form
