#include "automation/workflow/teacher_workflow.h"

#include <algorithm>
#include <utility>

#include "cli/example_generator.h"
#include "cli/host_workbook_content.h"
#include "form/form_routines.h"
#include "host/errors.h"
#include "host/model_workbook.h"
#include "host/model_worksheet.h"
#include "host/range.h"

namespace fenban::automation::testing {

namespace {

std::string DataFolder() { return std::string(kHostFolder) + form::kPathSeparator + form::kDataFolderName; }

// Moves two students of the division sheet to each other's class, as a
// teacher does by hand: the first and the last row whose class cell (column 1)
// holds a number, when their classes differ.
void SwapTwoStudents(host::Worksheet& division) {
  const host::Rect used = division.UsedRect();
  int32_t first = 0, last = 0;
  for (int32_t r = 1; r <= used.row2; ++r) {
    if (!division.CellValue(r, 1).IsNumber()) continue;
    if (first == 0) first = r;
    last = r;
  }
  if (first == 0 || division.CellValue(first, 1) == division.CellValue(last, 1)) {
    host::Raise(host::kErrHost, "测试流程：分班表里找不到两个不同班的学生");
  }
  const host::Value a = division.CellValue(first, 1);
  division.SetCellValue(first, 1, division.CellValue(last, 1));
  division.SetCellValue(last, 1, a);
}

void SetText(form::FormModel& form, const EventSink& send, const char* box, const char* value) {
  form.Text(box).value = host::Value(value);
  send(form, std::string(box) + "AfterUpdate");
}

void Tick(form::FormModel& form, const EventSink& send, const char* box) {
  form.Check(box).value = host::Value::Boolean(true);
  send(form, std::string(box) + "AfterUpdate");
}

}  // namespace

std::unique_ptr<WorkflowWorld> MakeWorkflowWorld(int32_t students) {
  auto world = std::make_unique<WorkflowWorld>();
  world->services.seed = 20261208;
  world->services.date = "2026-12-08";
  world->services.folders[DataFolder()] = {kDataBookName};
  const auto loader = [students](const std::string& path) {
    const std::string expected = DataFolder() + form::kPathSeparator + kDataBookName;
    if (path != expected) host::Raise(1004, "找不到文件: " + path);
    auto book = std::make_unique<host::ModelWorkbook>(kDataBookName, DataFolder());
    cli::WriteTable(book->AppendSheet("数据表"), cli::GenerateExampleTable(students, cli::kDefaultExampleSeed));
    return book;
  };
  world->app = std::make_unique<host::ModelApplication>(world->services, loader);
  auto& book = world->app->AddWorkbook(std::make_unique<host::ModelWorkbook>("fenban.xlsm", kHostFolder));
  cli::FillSettingsSheet(book.AppendSheet("DTB"));
  book.AppendSheet("FBB");
  book.AppendSheet("JZB");
  book.AppendSheet("SYB");
  cli::FillEntrySheet(book.AppendSheet("登记表"));
  book.SetActiveSheetIndex(1);
  return world;
}

void RunTeacherWorkflow(WorkflowWorld& world, const EventSink& send, bool divisionOnly) {
  form::FormModel form;
  send(form, "UserFormInitialize");
  form.ltbBiao.SetListIndex(0);
  send(form, "ltbBiaoClick");
  SetText(form, send, "txtFenBan", "8");
  SetText(form, send, "txtYouXiu", "15");
  SetText(form, send, "txtJiGe", "25");
  SetText(form, send, "txtNMing", "2");
  Tick(form, send, "chbXingBie");
  Tick(form, send, "chbZuXiao");
  Tick(form, send, "chbYingJie");
  send(form, "cmdFenBanClick");
  if (divisionOnly) return;

  // The teacher moves two students on "分班表1" and recounts.
  host::Workbook& data = host::Workbooks(*world.app)(kDataBookName);
  host::Worksheet& division = host::SheetsOf(data)("分班表1");
  SwapTwoStudents(division);
  division.Activate();
  send(form, "cmdTiaoBanClick");

  // A second division without the sex balance and refined (small lists are
  // searched on two threads, and every platform must divide them alike),
  // then the first pair is kept.
  form.Check("chbXingBie").value = host::Value::Boolean(false);
  send(form, "chbXingBieAfterUpdate");
  Tick(form, send, "chbYouHua");
  send(form, "cmdFenBanClick");
  host::SheetsOf(data)("分班表1").Activate();
  send(form, "cmdDelClick");

  send(form, "cmdDengJiClick");
  send(form, "cmdHelp");
  send(form, "cmdfenbanclick");
  send(form, "");
}

std::string DumpServices(const fenban::testing::RecordingServices& services) {
  std::string text;
  for (const auto& m : services.messages) text += "msgbox " + m.title + " " + std::to_string(m.style) + " " + m.prompt + "\n";
  for (const auto& [frequency, ms] : services.beeps) text += "beep " + std::to_string(frequency) + " " + std::to_string(ms) + "\n";
  // Each platform joins paths with its own separator.
  for (std::string d : services.openedDocuments) {
    std::replace(d.begin(), d.end(), '\\', '/');
    text += "open " + d + "\n";
  }
  return text;
}

}  // namespace fenban::automation::testing
