// The teacher's whole workflow as form events, for one embedded model: the
// host workbook and a generated student list, start-up, the choice of the
// list, the option fields, two divisions, statistics after a hand edit,
// delete, entry template, help and two names that match no event. Whoever
// runs it decides how an event reaches MyFun (directly, or through
// automation); the hand edits change the model itself between events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "bridge/myfb.h"
#include "form/form.h"
#include "host/model_application.h"
#include "support/recording_services.h"

namespace fenban::automation::testing {

inline constexpr const char* kHostFolder = "C:/fenban";
inline constexpr const char* kDataBookName = "名单.xlsx";

// The generated list as it comes, or as teachers' lists come: "2024-9.xls"
// (named like a date), student numbers with leading zeros, 18-digit ID
// numbers (some ending in X, in a column formatted "@" in part), birth
// dates, stray spaces of three kinds, formatted empty rows below the list
// and one formatted cell in the sheet's last row.
enum class WorkflowList { Example, Awkward };
// The list FENBAN_WORKFLOW_LIST names ("awkward" or "example"; example by default).
WorkflowList WorkflowListFromEnvironment();
const char* DataBookName(WorkflowList list);

// The host workbook (DTB, FBB, JZB, SYB, 登记表) and a loader that opens
// the data folder's one list with `students` generated students.
struct WorkflowWorld {
  fenban::testing::RecordingServices services;
  std::unique_ptr<host::ModelApplication> app;
  std::string dataBookName;
};
std::unique_ptr<WorkflowWorld> MakeWorkflowWorld(int32_t students, WorkflowList list = WorkflowList::Example);

// Delivers one event: fills nothing, only forwards (form, event name).
using EventSink = std::function<void(form::FormModel& form, const std::string& event)>;

// Runs the whole workflow. `divisionOnly` stops after the first division.
void RunTeacherWorkflow(WorkflowWorld& world, const EventSink& send, bool divisionOnly = false);

// What the services saw (message boxes, beeps, opened documents), as text.
std::string DumpServices(const fenban::testing::RecordingServices& services);

}  // namespace fenban::automation::testing
