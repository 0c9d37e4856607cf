// What the programs that drive the Windows server through the teacher's
// workflow (by its ProgID, through the add-in's dialog) share: the stand-ins
// a run is made among, what the run leaves, and the check of that against
// the same events sent to MyFun directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/box_watcher.h"
#include "automation/fixed_platform.h"
#include "automation/test_word.h"
#include "automation/workflow/teacher_workflow.h"

namespace fenban::automation::testing {

// FENBAN_WORKFLOW_STUDENTS, 2000 when it is not set.
int32_t WorkflowStudents();

// A run's surroundings: the workflow's world with the platform as a direct
// run has it, a stand-in word processor for the help document, and a
// watcher of the message boxes shown.
struct ServerRun {
  explicit ServerRun(int32_t students);
  std::unique_ptr<WorkflowWorld> world;
  FixedPlatform platform;
  wintest::WordLog word;
  wintest::TestWordRegistration registration;
  wintest::BoxWatcher watcher;
};

struct WorkflowOutcome {
  std::string workbooks;            // DumpApplication of the run's model
  std::vector<std::string> opened;  // the documents the word processor opened
  size_t boxes = 0;                 // message boxes shown
};

// What the run left so far.
WorkflowOutcome OutcomeOf(ServerRun& run);

// Runs the same workflow directly on a model and checks that the run left
// the same workbooks, boxes and opened documents; then writes the
// workbooks' dump to the file `dumpVariable` names, when it is set.
void CheckAgainstDirectRun(const WorkflowOutcome& outcome, int32_t students, const wchar_t* dumpVariable);

}  // namespace fenban::automation::testing
