// The teacher's workflow through automation: every event goes to MyFun with
// the host application reached only by IDispatch calls on the test
// application, an object model over the embedded model that keeps a real
// program's rules. The workbooks it leaves must be those of the same events
// run directly on the model, for the generated list and for the awkward one
// (leading zeros, ID numbers, dates, stray spaces, a name like a date); the
// calls per student of a division must stay under 20, and no page set-up
// call may wait for the printer.
//   dispatch_workflow_test [DLL]
// FENBAN_WORKFLOW_STUDENTS (default 2000) sets the list's size;
// FENBAN_WORKFLOW_DUMP names a file for the dump, which scripts/test-windows.sh
// compares with the Linux build's; the awkward list's dump goes to the same
// name with ".awkward" added.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "automation/com_text.h"
#include "automation/dispatch_host.h"
#include "automation/dispatch_host_application.h"
#include "automation/student_check.h"
#include "automation/test_application.h"
#include "automation/win_check.h"
#include "automation/workflow/model_dump.h"
#include "automation/workflow/teacher_workflow.h"

using namespace fenban;
using namespace fenban::automation;
using namespace fenban::automation::testing;

namespace {

int32_t Students() {
  const wchar_t* text = _wgetenv(L"FENBAN_WORKFLOW_STUDENTS");
  return text != nullptr ? static_cast<int32_t>(std::wcstol(text, nullptr, 10)) : 2000;
}

std::string DirectDump(int32_t students, WorkflowList list) {
  auto world = MakeWorkflowWorld(students, list);
  bridge::myfb fb;
  RunTeacherWorkflow(*world, [&](form::FormModel& form, const std::string& event) { fb.MyFun(*world->app, form, event); });
  return DumpApplication(*world->app) + DumpServices(world->services);
}

void WriteDump(const std::string& dump, WorkflowList list) {
  const wchar_t* given = _wgetenv(L"FENBAN_WORKFLOW_DUMP");
  if (given == nullptr) return;
  const std::wstring path = std::wstring(given) + (list == WorkflowList::Awkward ? L".awkward" : L"");
  FILE* file = _wfopen(path.c_str(), L"wb");
  CHECK(file != nullptr);
  if (file == nullptr) return;
  CHECK(std::fwrite(dump.data(), 1, dump.size(), file) == dump.size());
  std::fclose(file);
}

// The events through the host over IDispatch, one application object per
// call as the server makes one for each MyFun, with the server's last check.
std::string RunThroughDispatchHost(int32_t students, WorkflowList list) {
  auto world = MakeWorkflowWorld(students, list);
  TestWorld testApp(*world->app);
  IDispatch* ea = testApp.Application();
  bridge::myfb fb;
  long invokes = 0, lookups = 0;
  bool firstDivision = true;
  RunTeacherWorkflow(*world, [&](form::FormModel& form, const std::string& event) {
    testApp.Counts().Reset();
    CheckedServices services(world->services);
    std::unique_ptr<host::Application> app = MakeDispatchApplication(ea, services);
    if (CheckedServices::Checks(event)) services.Arm(*app, fb.State());
    fb.MyFun(*app, form, event);
    const CallCounts& counts = testApp.Counts();
    CHECK(counts.slowCalls == 0);
    invokes += counts.invokes;
    lookups += counts.lookups;
    std::printf("  %-22s %6ld Invoke %4ld GetIDsOfNames\n", event.empty() ? "(empty)" : event.c_str(),
                counts.invokes, counts.lookups);
    if (event != "cmdFenBanClick" || !firstDivision) return;
    firstDivision = false;
    const auto& traffic = static_cast<DispatchApplication&>(*app).Traffic();
    const double perStudent = double(counts.invokes + counts.lookups) / students;
    std::printf("  division of %d students: %.2f IDispatch calls per student; %ld cell reads and %ld cell writes "
                "went through %ld calls instead of about %ld\n",
                students, perStudent, traffic.reads, traffic.writes, counts.invokes,
                counts.invokes + 2 * (traffic.reads + traffic.writes));
    CHECK(perStudent < 20);
    CHECK(students < 1000 || perStudent < 5);  // far below, once the list is long
    if (_wgetenv(L"FENBAN_CALLS_BY_MEMBER") != nullptr) {
      for (const auto& [member, n] : counts.byMember) std::printf("    %-30ls %ld\n", member.c_str(), n);
    }
  });
  ea->Release();
  std::printf("  whole workflow: %ld Invoke + %ld GetIDsOfNames\n", invokes, lookups);
  return DumpApplication(*world->app) + DumpServices(world->services);
}

}  // namespace

int wmain(int, wchar_t**) {
  CoInitialize(nullptr);
  const int32_t students = Students();
  for (WorkflowList list : {WorkflowList::Example, WorkflowList::Awkward}) {
    std::printf("dispatch_workflow_test: %d students of \"%s\" through the IDispatch host\n", students,
                DataBookName(list));
    const std::string dump = RunThroughDispatchHost(students, list);
    CHECK(dump == DirectDump(students, list));
    CHECK(dump.find("sheet 分班表1") != std::string::npos && dump.find("sheet 统计表1") != std::string::npos);
    CHECK(dump.find("msgbox 错误") == std::string::npos);
    WriteDump(dump, list);
  }
  CoUninitialize();
  return wincheck::Summary("dispatch_workflow_test");
}
