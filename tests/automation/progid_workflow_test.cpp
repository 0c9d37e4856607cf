// The teacher's workflow through the registered server: "Vantrel.myfb" made
// by its ProgID, MyFun found by name and invoked for every event with three
// VT_BYREF|VT_VARIANT arguments, as a form's code passes its variables: EA is
// the test application, UF the test form, strFlag the event name. The
// workbooks it leaves must be those of the same events run directly on the
// model; no message box may appear and the help document must reach the word
// processor, as in the direct run.
//   progid_workflow_test [DLL]
// FENBAN_WORKFLOW_STUDENTS (default 2000) sets the list's size;
// FENBAN_PROGID_WORKFLOW_DUMP names a file for the workbooks' dump, which
// scripts/test-windows.sh compares with the Linux build's.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation/box_watcher.h"
#include "automation/fixed_platform.h"
#include "automation/com_ptr.h"
#include "automation/com_text.h"
#include "automation/test_application.h"
#include "automation/test_form.h"
#include "automation/test_word.h"
#include "automation/variant.h"
#include "automation/win_check.h"
#include "automation/workflow_outcome.h"
#include "automation/workflow/model_dump.h"
#include "automation/workflow/teacher_workflow.h"
#include "form/form_routines.h"
#include "host/errors.h"

using namespace fenban;
using namespace fenban::automation;
using namespace fenban::automation::testing;

namespace {

const std::vector<std::string> kValueControls = {"txtFenBan",  "txtYouXiu", "txtJiGe",   "txtNMing",
                                                 "chbXingBie", "chbZuXiao", "chbYingJie", "chbYouHua",
                                                 "txtJunHeng"};

// The form's controls as the workflow set them, into the test form, and
// what MyFun changed there, back.
void ToTestForm(form::FormModel& model, FormState& state) {
  state.caption = model.caption;
  state.listIndex = model.ltbBiao.ListIndex();
  for (const std::string& name : kValueControls) state.values[name] = model.ControlValue(name);
}
void FromTestForm(const FormState& state, form::FormModel& model) {
  model.caption = state.caption;
  if (model.ltbBiao.Items() != state.listItems) {
    model.ltbBiao.Clear();
    for (const std::string& item : state.listItems) model.ltbBiao.AddItem(item);
  }
  model.ltbBiao.SetListIndex(state.listIndex);
  for (const std::string& name : kValueControls) model.SetControlValue(name, state.values.at(name));
}

HRESULT InvokeMyFun(IDispatch* myfb, DISPID myFun, IDispatch* ea, IDispatch* uf, const std::string& event) {
  Variant vea = Variant::Dispatch(ea);
  Variant vuf = Variant::Dispatch(uf);
  Variant flag = Variant::Text(event);
  VARIANT args[3];  // last argument first
  args[0].vt = args[1].vt = args[2].vt = VT_BYREF | VT_VARIANT;
  args[0].pvarVal = &flag.Raw();
  args[1].pvarVal = &vuf.Raw();
  args[2].pvarVal = &vea.Raw();
  DISPPARAMS params{args, nullptr, 3, 0};
  Variant result;
  EXCEPINFO exception{};
  const HRESULT hr =
      myfb->Invoke(myFun, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Out(), &exception, nullptr);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
  // The by-reference variables come back as they went.
  CHECK(vea.Raw().vt == VT_DISPATCH && vea.Raw().pdispVal == ea);
  CHECK(flag.Raw().vt == VT_BSTR && BstrToUtf8(flag.Raw().bstrVal) == event);
  return hr;
}

WorkflowOutcome RunThroughProgId(int32_t students) {
  ServerRun run(students);
  std::unique_ptr<WorkflowWorld>& world = run.world;

  CLSID clsid{};
  CHECK_HR(CLSIDFromProgID(L"Vantrel.myfb", &clsid), S_OK);
  ComPtr<IDispatch> myfb;
  CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(myfb.Out())),
           S_OK);
  if (!myfb) return {};
  DISPID myFun = DISPID_UNKNOWN;
  LPOLESTR name = const_cast<LPOLESTR>(L"MyFun");
  CHECK_HR(myfb->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &myFun), S_OK);

  TestWorld testApp(*world->app);
  ComPtr<IDispatch> ea = ComPtr<IDispatch>::Adopt(testApp.Application());
  FormState state;
  CallCounts formCounts;
  ComPtr<IDispatch> uf = ComPtr<IDispatch>::Adopt(MakeTestForm(state, formCounts));
  long invokes = 0, lookups = 0;
  bool firstDivision = true;
  size_t boxesShown = 0;
  const auto send = [&](form::FormModel& form, const std::string& event) {
    testApp.Counts().Reset();
    formCounts.Reset();
    ToTestForm(form, state);
    CHECK_HR(InvokeMyFun(myfb.Get(), myFun, ea.Get(), uf.Get(), event), S_OK);
    FromTestForm(state, form);
    const std::vector<wintest::SeenBox> boxes = run.watcher.Boxes();
    for (; boxesShown < boxes.size(); ++boxesShown) {
      std::printf("  message box after %s: %s: %s\n", event.c_str(), WideToUtf8(boxes[boxesShown].title).c_str(),
                  WideToUtf8(boxes[boxesShown].text).c_str());
    }
    const CallCounts& counts = testApp.Counts();
    invokes += counts.invokes + formCounts.invokes;
    lookups += counts.lookups + formCounts.lookups;
    std::printf("  %-22s %6ld Invoke %4ld GetIDsOfNames on EA, %3ld + %3ld on UF\n",
                event.empty() ? "(empty)" : event.c_str(), counts.invokes, counts.lookups, formCounts.invokes,
                formCounts.lookups);
    if (event != "cmdFenBanClick" || !firstDivision) return;
    firstDivision = false;
    const double perStudent = double(counts.invokes + counts.lookups) / students;
    std::printf("  division of %d students: %.2f IDispatch calls on EA per student (%.2f Invoke, %.2f GetIDsOfNames)\n",
                students, perStudent, double(counts.invokes) / students, double(counts.lookups) / students);
    CHECK(perStudent < 20);
  };
  try {
    RunTeacherWorkflow(*world, send);
  } catch (const host::RuntimeError& error) {
    std::printf("  the workflow stopped: %s\n", error.Description().c_str());
    CHECK(false);
  }
  std::printf("  whole workflow: %ld Invoke + %ld GetIDsOfNames on EA and UF\n", invokes, lookups);
  return OutcomeOf(run);
}

}  // namespace

int wmain(int, wchar_t**) {
  CoInitialize(nullptr);
  const int32_t students = WorkflowStudents();
  std::printf("progid_workflow_test: %d students through \"Vantrel.myfb\" created by its ProgID\n", students);
  CheckAgainstDirectRun(RunThroughProgId(students), students, L"FENBAN_PROGID_WORKFLOW_DUMP");
  CoUninitialize();
  return wincheck::Summary("progid_workflow_test");
}
