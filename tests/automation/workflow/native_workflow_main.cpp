// Runs the teacher's workflow on the embedded model directly, as the Linux
// build does, and writes the dump the automation run is compared with; the
// optional third file gets the workbooks alone (the run through the
// registered server cannot observe the platform's services the same way).
//   native_workflow STUDENTS DUMP_FILE [WORKBOOKS_DUMP_FILE]
// FENBAN_WORKFLOW_LIST=awkward runs it on the awkward list.
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "automation/workflow/model_dump.h"
#include "automation/workflow/teacher_workflow.h"

using namespace fenban;
using namespace fenban::automation::testing;

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::cerr << "usage: native_workflow STUDENTS DUMP_FILE [WORKBOOKS_DUMP_FILE]\n";
    return 2;
  }
  auto world = MakeWorkflowWorld(std::atoi(argv[1]), WorkflowListFromEnvironment());
  bridge::myfb fb;
  RunTeacherWorkflow(*world, [&](form::FormModel& form, const std::string& event) { fb.MyFun(*world->app, form, event); });
  const std::string workbooks = DumpApplication(*world->app);
  std::ofstream out(argv[2], std::ios::binary);
  out << workbooks << DumpServices(world->services);
  if (argc == 4) {
    std::ofstream workbooksOut(argv[3], std::ios::binary);
    workbooksOut << workbooks;
    if (!workbooksOut) return 1;
  }
  return out ? 0 : 1;
}
