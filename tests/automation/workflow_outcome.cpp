#include "automation/workflow_outcome.h"

#include <cstdio>
#include <cstdlib>

#include "automation/com_text.h"
#include "automation/win_check.h"
#include "automation/workflow/model_dump.h"
#include "bridge/myfb.h"

namespace fenban::automation::testing {

int32_t WorkflowStudents() {
  const wchar_t* text = _wgetenv(L"FENBAN_WORKFLOW_STUDENTS");
  return text != nullptr ? static_cast<int32_t>(std::wcstol(text, nullptr, 10)) : 2000;
}

ServerRun::ServerRun(int32_t students)
    : world(MakeWorkflowWorld(students)), platform(*world), registration(word) {}

WorkflowOutcome OutcomeOf(ServerRun& run) {
  WorkflowOutcome outcome;
  outcome.boxes = run.watcher.Boxes().size();
  outcome.workbooks = DumpApplication(*run.world->app);
  for (const std::wstring& call : run.word.calls) {
    if (call.rfind(L"open ", 0) == 0) outcome.opened.push_back(WideToUtf8(call.substr(5)));
  }
  return outcome;
}

void CheckAgainstDirectRun(const WorkflowOutcome& outcome, int32_t students, const wchar_t* dumpVariable) {
  auto direct = MakeWorkflowWorld(students);
  bridge::myfb fb;
  RunTeacherWorkflow(*direct, [&](form::FormModel& form, const std::string& event) { fb.MyFun(*direct->app, form, event); });
  CHECK(outcome.workbooks == DumpApplication(*direct->app));
  CHECK(outcome.workbooks.find("sheet 分班表1") != std::string::npos);
  CHECK(outcome.boxes == direct->services.messages.size());
  CHECK(!outcome.opened.empty() && outcome.opened == direct->services.openedDocuments);

  const wchar_t* path = _wgetenv(dumpVariable);
  if (path == nullptr) return;
  FILE* file = _wfopen(path, L"wb");
  if (!CHECK(file != nullptr)) return;
  CHECK(std::fwrite(outcome.workbooks.data(), 1, outcome.workbooks.size(), file) == outcome.workbooks.size());
  std::fclose(file);
}

}  // namespace fenban::automation::testing
