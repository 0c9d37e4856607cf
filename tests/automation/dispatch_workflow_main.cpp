// The teacher's workflow through automation: every event goes to MyFun with
// the host application reached only by IDispatch calls on the test
// application, an object model over the embedded model. The resulting
// workbooks are dumped for comparison with the native run, which this
// program also makes itself; the call counts per event are printed.
//   dispatch_workflow STUDENTS DUMP_FILE
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "automation/dispatch_host.h"
#include "model_dump.h"
#include "teacher_workflow.h"
#include "test_application.h"

using namespace fenban;
using namespace fenban::automation;
using namespace fenban::automation::testing;

namespace {

std::string NativeDump(int32_t students) {
  auto world = MakeWorkflowWorld(students);
  bridge::myfb fb;
  RunTeacherWorkflow(*world, [&](form::Form& form, const std::string& event) { fb.MyFun(*world->app, form, event); });
  return DumpApplication(*world->app) + DumpServices(world->services);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dispatch_workflow STUDENTS DUMP_FILE\n");
    return 2;
  }
  const int32_t students = std::atoi(argv[1]);
  CoInitialize(nullptr);
  int status = 0;
  {
    auto world = MakeWorkflowWorld(students);
    TestWorld testApp(*world->app);
    IDispatch* ea = testApp.Application();
    bridge::myfb fb;
    long totalInvokes = 0, totalLookups = 0;
    RunTeacherWorkflow(*world, [&](form::Form& form, const std::string& event) {
      testApp.Counts().Reset();
      // One application object per call, as the server makes one for each MyFun.
      std::unique_ptr<host::Application> app = MakeDispatchApplication(ea, world->services);
      fb.MyFun(*app, form, event);
      const CallCounts& counts = testApp.Counts();
      totalInvokes += counts.invokes;
      totalLookups += counts.lookups;
      std::printf("%-24s invokes %7ld  GetIDsOfNames %4ld", event.empty() ? "(empty)" : event.c_str(),
                  counts.invokes, counts.lookups);
      if (event == "cmdFenBanClick" || event == "cmdTiaoBanClick") {
        std::printf("  per student %.2f", double(counts.invokes + counts.lookups) / students);
      }
      std::printf("\n");
      if (event == "cmdFenBanClick" && std::getenv("FENBAN_CALLS_BY_MEMBER") != nullptr) {
        for (const auto& [member, n] : counts.byMember) std::printf("    %-28ls %ld\n", member.c_str(), n);
      }
    });
    ea->Release();
    std::printf("whole workflow: %ld Invoke + %ld GetIDsOfNames for %d students\n", totalInvokes, totalLookups,
                students);
    const std::string dump = DumpApplication(*world->app) + DumpServices(world->services);
    std::ofstream(argv[2], std::ios::binary) << dump;
    if (dump != NativeDump(students)) {
      std::fprintf(stderr, "FAIL: the workbooks after the automation run differ from the direct run\n");
      std::ofstream(std::string(argv[2]) + ".direct", std::ios::binary) << NativeDump(students);
      status = 1;
    }
  }
  CoUninitialize();
  return status;
}
