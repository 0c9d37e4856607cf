// Moving students by hand on the page: each move changes the class of one
// student of the division sheet in memory and reruns the statistics command
// on the pair, so the page shows the figures at once; nothing is written
// until the moves are saved. A move names its student by the student's
// cells, never by a row, so that a page showing the list before the last
// sort still moves the student it shows.
#include <map>

#include <fmt/format.h>

#include "files/workbook_files.h"
#include "host/display_text.h"
#include "form/form_routines.h"
#include "host/errors.h"
#include "web/name_text.h"
#include "web/web_error.h"
#include "web/workspace.h"

namespace fenban::web {

using nlohmann::json;

namespace {

std::string Label(const host::Value& value) { return value.IsEmpty() ? "" : host::DisplayText(value, "General"); }

// The row of the student with that key in that class, or 0.
int32_t FindStudent(const host::Worksheet& sheet, const std::vector<host::Value>& key, const host::Value& inClass) {
  int32_t headerRow = DivisionHeaderRow(sheet);
  host::Rect table = sheet.CurrentRegion(headerRow, 1);
  for (int32_t row = headerRow + 1; row <= table.row2; ++row) {
    if (sheet.CellValue(row, 1) == inClass && StudentKey(sheet, row) == key) return row;
  }
  return 0;
}

// The row of the student with that id shown in the class labelled
// `classLabel`, or 0.
int32_t FindStudentById(const host::Worksheet& sheet, const std::string& id, const std::string& classLabel) {
  int32_t headerRow = DivisionHeaderRow(sheet);
  host::Rect table = sheet.CurrentRegion(headerRow, 1);
  for (int32_t row = headerRow + 1; row <= table.row2; ++row) {
    const host::Value& value = sheet.CellValue(row, 1);
    if (!value.IsEmpty() && Label(value) == classLabel && StudentId(StudentKey(sheet, row)) == id) return row;
  }
  return 0;
}

// The class value whose shown text is `label`, taken from the sheet so that
// its type (number or text) stays as the division wrote it.
std::optional<host::Value> ClassValue(const host::Worksheet& sheet, const std::string& label) {
  int32_t headerRow = DivisionHeaderRow(sheet);
  host::Rect table = sheet.CurrentRegion(headerRow, 1);
  for (int32_t row = headerRow + 1; row <= table.row2; ++row) {
    const host::Value& value = sheet.CellValue(row, 1);
    if (!value.IsEmpty() && Label(value) == label) return value;
  }
  return std::nullopt;
}

// The column of the division table headed `header`, or 0.
int32_t TableColumn(const host::Worksheet& sheet, const char* header) {
  int32_t headerRow = DivisionHeaderRow(sheet);
  int32_t lastColumn = sheet.CurrentRegion(headerRow, 1).col2;
  for (int32_t column = 1; column <= lastColumn; ++column) {
    const host::Value& value = sheet.CellValue(headerRow, column);
    if (value.IsText() && value.Text() == header) return column;
  }
  return 0;
}

// The student as a list of moves names it: the name, else the first cells.
std::string StudentName(const host::Worksheet& sheet, int32_t row) {
  int32_t nameColumn = TableColumn(sheet, "姓名");
  if (nameColumn > 0 && !sheet.CellValue(row, nameColumn).IsEmpty()) return Label(sheet.CellValue(row, nameColumn));
  std::string text;
  for (int32_t column = 3; column <= 5; ++column) text += (text.empty() ? "" : " ") + Label(sheet.CellValue(row, column));
  return text;
}

// The other students whose cell in `column` equals the student's, and who are in class `inClass`.
std::vector<std::string> Partners(const host::Worksheet& sheet, int32_t row, int32_t column, const host::Value& inClass) {
  std::vector<std::string> names;
  if (column == 0) return names;
  const host::Value& group = sheet.CellValue(row, column);
  if (group.IsEmpty() || Label(group).empty()) return names;
  int32_t headerRow = DivisionHeaderRow(sheet);
  host::Rect table = sheet.CurrentRegion(headerRow, 1);
  for (int32_t other = headerRow + 1; other <= table.row2; ++other) {
    if (other != row && sheet.CellValue(other, 1) == inClass && sheet.CellValue(other, column) == group) {
      names.push_back(StudentName(sheet, other));
    }
  }
  return names;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < 5; ++i) text += (i == 0 ? "" : "、") + names[i];
  if (names.size() > 5) text += fmt::format(" 等 {} 人", names.size());
  return text;
}

// What the teacher is asked before the student on `row` goes from class
// `from` to class `to`: a preset class left, a "同班" group separated or a
// "分开" group joined; "" when nothing.
std::string MoveWarning(const host::Worksheet& sheet, int32_t row, const host::Value& from, const host::Value& to) {
  std::vector<std::string> reasons;
  int32_t presetColumn = TableColumn(sheet, "预设班");
  if (presetColumn > 0) {
    const host::Value& preset = sheet.CellValue(row, presetColumn);
    bool none = preset.IsEmpty() || (preset.IsNumber() && preset.Number() == 0) || Label(preset).empty();
    if (!none && Label(preset) != Label(to)) reasons.push_back(fmt::format("预设班是 {} 班", Label(preset)));
  }
  std::vector<std::string> together = Partners(sheet, row, TableColumn(sheet, "同班"), from);
  if (!together.empty()) reasons.push_back(fmt::format("应与 {} 同班", Joined(together)));
  std::vector<std::string> apart = Partners(sheet, row, TableColumn(sheet, "分开"), to);
  if (!apart.empty()) reasons.push_back(fmt::format("应与 {} 分开", Joined(apart)));
  std::string text;
  for (const std::string& reason : reasons) text += (text.empty() ? "" : "；") + reason;
  return text;
}

host::Worksheet& SheetOf(app::Session& session, const std::string& name) {
  host::Worksheet* sheet = session.DataBook().FindSheet(name);
  if (sheet == nullptr) throw WebError(404, kNotice, fmt::format("没有工作表 “{}”", name));
  return *sheet;
}

// Reruns the statistics command on the pair; false when it showed a box.
bool RebuildStatistics(app::Session& session, const std::string& divisionSheet) {
  SheetOf(session, divisionSheet).Activate();
  return session.Fire("cmdTiaoBanClick");
}

json Done() { return {{"ok", true}, {"boxes", json::array()}, {"notes", json::array()}}; }

// Marks the students of a division view that were moved, with what the
// teacher was asked before each move.
void MarkMovedStudents(json& division, const std::vector<MoveStep>& steps) {
  std::map<std::string, const StudentMove*> last;
  for (const MoveStep& step : steps) {
    for (const StudentMove& move : step) last[StudentId(move.key)] = &move;
  }
  for (json& group : division["classes"]) {
    for (json& student : group["students"]) {
      auto found = last.find(student["id"].get<std::string>());
      if (found == last.end()) continue;
      student["moved"] = true;
      if (!found->second->warning.empty()) student["warning"] = found->second->warning;
    }
  }
}

// The moves of the steps not undone, oldest first: who went from where to
// where; the two moves of a swap share their step number.
json ChangesJson(const std::vector<MoveStep>& steps) {
  json changes = json::array();
  for (size_t number = 0; number < steps.size(); ++number) {
    for (const StudentMove& move : steps[number]) {
      changes.push_back({{"step", number + 1}, {"id", StudentId(move.key)}, {"who", move.who},
                         {"from", Label(move.from)}, {"to", Label(move.to)}, {"warning", move.warning}});
    }
  }
  return changes;
}

}  // namespace

json Workspace::View(const std::string& sheet) {
  std::string division = DivisionSheetOf(sheet);
  if (division.empty()) throw WebError(400, kNotice, fmt::format("“{}” 不是分班表或统计表", sheet));
  if (chosen_.empty()) throw WebError(400, kNotice, "应选择数据表！");
  json view;
  const ViewBase base = CurrentBase();  // before reading
  if (pending_ && pending_->book == chosen_ && pending_->sheet == division) {
    app::Session& session = *pending_->run.session;
    view["division"] = DivisionJson(SheetOf(session, division));
    MarkMovedStudents(view["division"], pending_->done);
    view["changes"] = ChangesJson(pending_->done);
    host::Worksheet& statistics = SheetOf(session, StatisticsSheetOf(division));
    view["statistics"] = GridJson(statistics);
    MarkMaxDiffChanges(view["statistics"], statistics, pending_->baseline);
  } else {
    std::unique_ptr<host::ModelWorkbook> book;
    try {
      book = files::ReadWorkbook((folder_ / form::kDataFolderName / chosen_).string());
    } catch (const host::RuntimeError& error) {
      throw WebError(500, kErrorTitle, error.Description());
    }
    host::Worksheet* divisionSheet = book->FindSheet(division);
    if (divisionSheet == nullptr) throw WebError(404, kNotice, fmt::format("没有工作表 “{}”", division));
    view["division"] = DivisionJson(*divisionSheet);
    host::Worksheet* statistics = book->FindSheet(StatisticsSheetOf(division));
    view["statistics"] = statistics == nullptr ? json(nullptr) : GridJson(*statistics);
    view["changes"] = json::array();
  }
  view["book"] = ShownName(chosen_);
  view["pending"] = PendingJson();
  view["base"] = BaseJson(base);
  return view;
}

json Workspace::Move(const std::string& sheet, const std::string& studentId, const std::string& fromClass,
                     const std::string& toClass, bool confirmed) {
  return MakeStep(sheet, {{{studentId, fromClass}, toClass}}, confirmed);
}

json Workspace::Swap(const std::string& sheet, const ShownStudent& first, const ShownStudent& second, bool confirmed) {
  if (first.id == second.id) throw WebError(400, kNotice, "不能和自己对调");
  if (first.inClass == second.inClass) throw WebError(400, kNotice, "两个学生在同一个班里，不用对调");
  return MakeStep(sheet, {{first, second.inClass}, {second, first.inClass}}, confirmed);
}

json Workspace::MakeStep(const std::string& sheet, const std::vector<std::pair<ShownStudent, std::string>>& wanted,
                         bool confirmed) {
  std::string division = DivisionSheetOf(sheet);
  if (division.empty() || division != sheet) {
    throw WebError(400, kNotice, fmt::format("只能在分班表里调班：{}", sheet));
  }
  if (chosen_.empty()) throw WebError(400, kNotice, "应选择数据表！");
  if (pending_ && (pending_->book != chosen_ || pending_->sheet != division)) {
    throw WebError(409, kNotice, fmt::format("“{}” 有尚未保存的调班。请先保存或放弃。", pending_->sheet));
  }
  bool starting = !pending_;
  std::unique_ptr<PendingMoves> fresh;
  if (starting) {
    fresh = std::make_unique<PendingMoves>();
    fresh->book = chosen_;
    fresh->sheet = division;
    fresh->run = OpenRun(true);
    if (!fresh->run.services->Boxes().empty()) return Outcome(fresh->run, false);
  }
  PendingMoves& moves = starting ? *fresh : *pending_;
  app::Session& session = *moves.run.session;
  host::Worksheet& divisionSheet = SheetOf(session, division);
  MoveStep step;
  for (const auto& [student, toClass] : wanted) {
    int32_t row = FindStudentById(divisionSheet, student.id, student.inClass);
    if (row == 0) {
      throw WebError(409, kChangedTitle,
                     fmt::format("没有调班：{} 班里没有页面上的这个学生（页面显示的不是最新的分班）。请按“重新读取”。",
                                 student.inClass),
                     {{"changed", json::array()}, {"moves", json::array()}, {"reload", true}});
    }
    StudentMove move{StudentKey(divisionSheet, row), divisionSheet.CellValue(row, 1), host::Value(),
                     StudentName(divisionSheet, row), ""};
    std::optional<host::Value> target = ClassValue(divisionSheet, toClass);
    if (!target) throw WebError(400, kNotice, fmt::format("没有 “{}” 班", toClass));
    if (*target == move.from) throw WebError(400, kNotice, "学生已经在这个班里");
    move.to = *target;
    move.warning = MoveWarning(divisionSheet, row, move.from, move.to);
    step.push_back(std::move(move));
  }
  std::string asked;
  for (const StudentMove& move : step) {
    if (!move.warning.empty()) asked += fmt::format("{}{}：{}。", asked.empty() ? "" : "\n", move.who, move.warning);
  }
  if (!asked.empty() && !confirmed) {
    json result = Done();
    result["ok"] = false;
    const std::string question =
        step.size() == 1 ? fmt::format("仍然从 {} 班调到 {} 班吗？", wanted[0].first.inClass, wanted[0].second)
                         : fmt::format("仍然对调 {} 和 {} 吗？", step[0].who, step[1].who);
    result["ask"] = {{"title", step.size() == 1 ? "调班" : "对调"}, {"text", asked + question}};
    return result;
  }

  if (starting) {
    // The figures before any move, measured as the statistics command measures them.
    if (!RebuildStatistics(session, division)) return Outcome(moves.run, false);
    moves.baseline = ReadMaxDiffRows(SheetOf(session, StatisticsSheetOf(division)));
  }
  host::Worksheet& sorted = SheetOf(session, division);
  // Rows first, then the classes: a student set into a class must not be
  // found again as the second student of a swap.
  std::vector<int32_t> rows;
  for (const StudentMove& move : step) {
    int32_t at = FindStudent(sorted, move.key, move.from);
    if (at == 0) throw WebError(500, kErrorTitle, "找不到要调的学生");
    rows.push_back(at);
  }
  for (size_t i = 0; i < step.size(); ++i) sorted.SetCellValue(rows[i], 1, step[i].to);
  Edited();
  if (!RebuildStatistics(session, division)) {
    json result = Outcome(moves.run, false);
    pending_.reset();  // the model is no longer sound; the files are untouched
    return result;
  }
  moves.done.push_back(std::move(step));
  moves.undone.clear();
  if (starting) pending_ = std::move(fresh);
  json result = Done();
  result["view"] = View(division);
  return result;
}

json Workspace::StepMoves(bool undo) {
  std::vector<MoveStep>& from = undo ? pending_->done : pending_->undone;
  std::vector<MoveStep>& to = undo ? pending_->undone : pending_->done;
  if (from.empty()) throw WebError(400, kNotice, undo ? "没有可撤销的调班" : "没有可重做的调班");
  MoveStep step = from.back();
  app::Session& session = *pending_->run.session;
  host::Worksheet& sheet = SheetOf(session, pending_->sheet);
  std::vector<int32_t> rows;
  for (const StudentMove& move : step) {
    int32_t at = FindStudent(sheet, move.key, undo ? move.to : move.from);
    if (at == 0) throw WebError(500, kErrorTitle, "找不到要调的学生");
    rows.push_back(at);
  }
  for (size_t i = 0; i < step.size(); ++i) sheet.SetCellValue(rows[i], 1, undo ? step[i].from : step[i].to);
  Edited();
  if (!RebuildStatistics(session, pending_->sheet)) {
    json result = Outcome(pending_->run, false);
    pending_.reset();
    return result;
  }
  from.pop_back();
  to.push_back(std::move(step));
  json result = Done();
  result["view"] = View(pending_->sheet);
  return result;
}

json Workspace::Undo() {
  if (!pending_) throw WebError(400, kNotice, "没有可撤销的调班");
  return StepMoves(true);
}

json Workspace::Redo() {
  if (!pending_) throw WebError(400, kNotice, "没有可重做的调班");
  return StepMoves(false);
}

json Workspace::SaveMoves() {
  if (!pending_) throw WebError(400, kNotice, "没有要保存的调班");
  app::Session& session = *pending_->run.session;
  std::string sheet = pending_->sheet;
  json result = Done();
  session.SetHistoryCommand("调班");
  result["notes"] = SaveBooks(pending_->run, {&session.HostBook(), &session.DataBook()});
  pending_.reset();
  Edited();
  result["sheet"] = sheet;
  result["state"] = State();
  return result;
}

json Workspace::DiscardMoves() {
  pending_.reset();
  Edited();
  json result = Done();
  result["state"] = State();
  return result;
}

}  // namespace fenban::web
