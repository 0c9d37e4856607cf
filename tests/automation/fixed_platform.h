// The platform as a direct run of the teacher's workflow has it (its
// recording services): the tie order's seed, the date text, and the data
// folder holding the one list, for programs that run the workflow through
// the Windows services.
#pragma once

#include <string>

#include "automation/workflow/teacher_workflow.h"

namespace fenban::automation::testing {

// The user's short date format is put back afterwards, for the programs that
// run next in the same prefix.
class FixedPlatform {
 public:
  explicit FixedPlatform(const WorkflowWorld& world);
  ~FixedPlatform();
  FixedPlatform(const FixedPlatform&) = delete;
  FixedPlatform& operator=(const FixedPlatform&) = delete;

 private:
  std::wstring savedDateFormat_;
};

}  // namespace fenban::automation::testing
