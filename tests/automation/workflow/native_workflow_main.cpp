// Runs the teacher's workflow on the embedded model directly, as the Linux
// build does, and writes the dump the automation run is compared with.
//   native_workflow STUDENTS DUMP_FILE
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "automation/workflow/model_dump.h"
#include "automation/workflow/teacher_workflow.h"

using namespace fenban;
using namespace fenban::automation::testing;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: native_workflow STUDENTS DUMP_FILE\n";
    return 2;
  }
  auto world = MakeWorkflowWorld(std::atoi(argv[1]));
  bridge::myfb fb;
  RunTeacherWorkflow(*world, [&](form::FormModel& form, const std::string& event) { fb.MyFun(*world->app, form, event); });
  std::ofstream out(argv[2], std::ios::binary);
  out << DumpApplication(*world->app) << DumpServices(world->services);
  return out ? 0 : 1;
}
