#include "automation/workflow/teacher_workflow.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/example_generator.h"
#include "maintenance/host_workbook_content.h"
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

// The generated list made awkward (see WorkflowList): columns "身份证号"
// and "出生日期" after "性别", and the stray spaces, leading zeros and formats.
void WriteAwkwardList(host::Worksheet& sheet, int32_t students) {
  std::vector<std::vector<host::Value>> table = app::GenerateExampleTable(students, app::kDefaultExampleSeed);
  table[0].insert(table[0].begin() + 3, {host::Value("身份证号"), host::Value("出生日期")});
  const std::string space = " ", wideSpace = "\u3000", noBreak = "\u00A0";
  for (size_t i = 1; i < table.size(); ++i) {
    std::vector<host::Value>& row = table[i];
    std::string number = std::to_string(100000 + i).substr(1);  // "00001".."02000": leading zeros
    if (i % 7 == 0) number += space;
    if (i % 11 == 0) number = wideSpace + number;
    row[0] = host::Value("0" + number);
    std::string name(row[1].Text());
    if (i % 9 == 0) name.insert(3, space);  // after the first character
    if (i % 17 == 0) name += noBreak;
    row[1] = host::Value(name);
    const int32_t month = static_cast<int32_t>(1 + i % 12), day = static_cast<int32_t>(1 + i % 28);
    std::string id = "11010120" + std::to_string(10 + i % 3) + (month < 10 ? "0" : "") + std::to_string(month) +
                     (day < 10 ? "0" : "") + std::to_string(day) + std::to_string(100 + i % 900);
    id += i % 5 == 0 ? "X" : std::to_string(i % 10);
    if (i % 6 == 0) id += space;
    if (i % 8 == 0) id = noBreak + id;
    // 2010-01-01 is day 40179.
    const double birth = 40179 + static_cast<double>((i * 37) % 1000);
    row.insert(row.begin() + 3, {host::Value(id), host::Value(birth)});
  }
  app::WriteTable(sheet, table);
  const auto lastRow = static_cast<int32_t>(table.size());
  const auto lastColumn = static_cast<int32_t>(table[0].size());
  // Teachers format ID columns as text before typing: the first half here.
  sheet.SetNumberFormatLocal(host::Rect{2, 4, 1 + lastRow / 2, 4}, "@");
  sheet.SetNumberFormatLocal(host::Rect{2, 5, lastRow, 5}, "yyyy/m/d");
  // Empty rows with borders below the list, and a cell far down with a fill.
  sheet.Format(host::Rect{lastRow + 1, 1, lastRow + 30, lastColumn},
               [](host::CellStyle& s) { s.borders = {1, 1, 1, 1}; });
  sheet.Format(host::Rect{host::kMaxRows, 3, host::kMaxRows, 3}, [](host::CellStyle& s) { s.fillColorIndex = 6; });
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

WorkflowList WorkflowListFromEnvironment() {
  const char* list = std::getenv("FENBAN_WORKFLOW_LIST");
  return list != nullptr && std::strcmp(list, "awkward") == 0 ? WorkflowList::Awkward : WorkflowList::Example;
}

const char* DataBookName(WorkflowList list) { return list == WorkflowList::Awkward ? "2024-9.xls" : kDataBookName; }

std::unique_ptr<WorkflowWorld> MakeWorkflowWorld(int32_t students, WorkflowList list) {
  auto world = std::make_unique<WorkflowWorld>();
  world->services.seed = 20261208;
  world->services.date = "2026-12-08";
  world->dataBookName = DataBookName(list);
  world->services.folders[DataFolder()] = {world->dataBookName};
  const auto loader = [students, list](const std::string& path) {
    const std::string name = DataBookName(list);
    const std::string expected = DataFolder() + form::kPathSeparator + name;
    if (path != expected) host::Raise(1004, "找不到文件: " + path);
    auto book = std::make_unique<host::ModelWorkbook>(name, DataFolder());
    host::Worksheet& sheet = book->AppendSheet("数据表");
    if (list == WorkflowList::Awkward) {
      WriteAwkwardList(sheet, students);
    } else {
      app::WriteTable(sheet, app::GenerateExampleTable(students, app::kDefaultExampleSeed));
    }
    return book;
  };
  world->app = std::make_unique<host::ModelApplication>(world->services, loader);
  auto& book = world->app->AddWorkbook(std::make_unique<host::ModelWorkbook>("fenban.xlsm", kHostFolder));
  maintenance::FillSettingsSheet(book.AppendSheet("DTB"));
  book.AppendSheet("FBB");
  book.AppendSheet("JZB");
  book.AppendSheet("SYB");
  maintenance::FillEntrySheet(book.AppendSheet("登记表"));
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
  host::Workbook& data = host::Workbooks(*world.app)(world.dataBookName);
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
