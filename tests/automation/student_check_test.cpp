// The last check before a division or a recount reports success: a student
// missing from the division sheet, or standing there twice, ends the command
// in the error box with the count, and no beep says it is done.
//   student_check_test [DLL]
#include <windows.h>
#include <objbase.h>

#include <functional>
#include <memory>
#include <string>

#include "automation/dispatch_host.h"
#include "automation/student_check.h"
#include "automation/test_application.h"
#include "automation/win_check.h"
#include "automation/workflow/teacher_workflow.h"
#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/range.h"

using namespace fenban;
using namespace fenban::automation;
using namespace fenban::automation::testing;

namespace {

// A list of 60 students divided through the server's host, the division
// sheet then changed by `edit`, then recounted.
struct Recount {
  std::unique_ptr<WorkflowWorld> world = MakeWorkflowWorld(60, WorkflowList::Awkward);
  TestWorld testApp{*world->app};
  bridge::myfb fb;
  // The form as the division left it, for the recount.
  std::unique_ptr<form::FormModel> form;

  void Send(form::FormModel& f, const std::string& event) {
    if (event == "cmdFenBanClick") form = std::make_unique<form::FormModel>(f);
    IDispatch* ea = testApp.Application();
    CheckedServices services(world->services);
    std::unique_ptr<host::Application> app = MakeDispatchApplication(ea, services);
    if (CheckedServices::Checks(event)) services.Arm(*app, fb.State());
    fb.MyFun(*app, f, event);
    app.reset();
    ea->Release();
  }
  host::Worksheet& Division() {
    return host::SheetsOf(host::Workbooks(*world->app)(world->dataBookName))("分班表1");
  }
};

std::string Run(const std::function<void(host::Worksheet&)>& edit, size_t& beeps) {
  Recount r;
  RunTeacherWorkflow(*r.world, [&](form::FormModel& f, const std::string& e) { r.Send(f, e); }, true);
  CHECK(r.world->services.messages.empty());
  CHECK(r.world->services.beeps.size() == 1);  // the division was checked and reported
  host::Worksheet& division = r.Division();
  edit(division);
  division.Activate();
  r.Send(*r.form, "cmdTiaoBanClick");
  beeps = r.world->services.beeps.size();
  return r.world->services.messages.empty() ? "" : r.world->services.messages.back().prompt;
}

void RecountChecksTheStudents() {
  size_t beeps = 0;
  // Untouched: the recount is done.
  CHECK(Run([](host::Worksheet&) {}, beeps).empty());
  CHECK(beeps == 2);
  // A student's row deleted by hand.
  std::string message = Run([](host::Worksheet& d) { d.Rows(10).Delete(host::kShiftUp); }, beeps);
  CHECK(message.find("错误[1004]") == 0);
  CHECK(message.find("1 名学生不在“分班表1”中") != std::string::npos);
  CHECK(beeps == 1);
  // A student's row copied over another's: one missing, one twice.
  message = Run([](host::Worksheet& d) { d.Rows(5).Copy(d.Rows(6)); }, beeps);
  CHECK(message.find("1 名学生不在“分班表1”中，1 行学生在“分班表1”中多出或重复") != std::string::npos);
  CHECK(beeps == 1);
}

// The comparison itself: students are rows of the list by every column but
// "总分"; the division sheet's header may stand in its second row.
void MismatchCountsByRows() {
  host::ModelWorkbook book("名单.xlsx", "C:/d");
  host::Worksheet& data = book.AppendSheet("数据表");
  host::Worksheet& division = book.AppendSheet("分班表1");
  const char* names[] = {"张三", "李四", "王五", "张三"};
  data.SetCellValue(1, 1, "考号");
  data.SetCellValue(1, 2, "姓名");
  data.SetCellValue(1, 3, "总分");
  division.SetCellValue(1, 2, "标题");
  division.SetCellValue(2, 1, "新班级");
  division.SetCellValue(2, 2, "姓名");
  division.SetCellValue(2, 3, "考号");
  division.SetCellValue(2, 4, "总分");
  for (int32_t i = 0; i < 4; ++i) {
    data.SetCellValue(i + 2, 1, "00" + std::to_string(i % 3));
    data.SetCellValue(i + 2, 2, names[i]);
    data.SetCellValue(i + 2, 3, 600.4);
    division.SetCellValue(i + 3, 1, 1 + i % 2);
    division.SetCellValue(i + 3, 2, names[i]);
    division.SetCellValue(i + 3, 3, "00" + std::to_string(i % 3));
    division.SetCellValue(i + 3, 4, 600);  // rounded: not compared
  }
  CHECK(StudentCountMismatch(data, division).empty());
  division.SetCellValue(3, 3, 0);  // the number 0 is not the student number "000"
  CHECK(StudentCountMismatch(data, division).find("1 名学生不在") != std::string::npos);
  division.SetCellValue(3, 3, "000");
  division.SetCellValue(7, 2, "李四");
  division.SetCellValue(7, 3, "001");
  CHECK(StudentCountMismatch(data, division).find("1 行学生在“分班表1”中多出或重复") != std::string::npos);
}

}  // namespace

int wmain(int, wchar_t**) {
  CoInitialize(nullptr);
  MismatchCountsByRows();
  RecountChecksTheStudents();
  CoUninitialize();
  return wincheck::Summary("student_check_test");
}
