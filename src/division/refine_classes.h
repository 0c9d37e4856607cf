// The refinement step of the division: reads the dealt work table into a
// student list, runs the balance search and writes the new class numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "division/balance_features.h"
#include "division/division.h"

namespace fenban::division {

struct RefineQuotas {
  int32_t classCount = 0;  // k of the excellent and pass marks
  int32_t excellentQuota = 0;
  int32_t passQuota = 0;
};

// The work table as the search sees it, with what it takes to write back
// and to name students in a message.
struct WorkStudents {
  StudentList list;
  std::vector<double> classLabels;  // class index -> class number in column 1
  std::vector<std::string> names;   // "姓名", or "" when there is none
  std::vector<std::string> apartValues, togetherValues;  // per group: the shared value
};

// Reads rows 2..rowCount of the work table: class numbers, marks of the
// total and of the subjects listed on "登记表", "性别", "住校", "应届",
// "预设班", "分开", "同班" and "姓名".
WorkStudents ReadWorkStudents(host::Application& app, host::Worksheet& work, const WorkTable& table,
                              const RefineQuotas& quotas);

// What a refinement did: whether it ran (false after the message of a
// keep-apart or keep-together constraint that cannot be met: nothing was
// written then), the figures before and after (each table of the statistics
// sheet, then the whole-class figures), and the groups it could not meet,
// each named in a sentence (they do not stop the division).
struct RefineOutcome {
  bool completed = false;
  std::vector<form::BalanceFigure> figures;
  std::vector<std::string> notes;
};

// The refinement: balances the dealt classes and writes the new class
// numbers into column 1.
RefineOutcome RefineClasses(host::Application& app, host::Worksheet& work, const WorkTable& table,
                            const RefineQuotas& quotas);

// Writes the notes of groups the refinement could not meet in a red line
// each, below the tables of a finished statistics sheet.
void WriteRefinementNotes(host::Worksheet& statistics, const std::vector<std::string>& notes);

}  // namespace fenban::division
