// Moving students by hand on the page: each move changes the class of one
// row of the division sheet in memory and reruns the statistics command on
// the pair, so the page shows the figures at once; nothing is written until
// the moves are saved.
#include <fmt/format.h>

#include "files/workbook_files.h"
#include "host/display_text.h"
#include "host/errors.h"
#include "web/web_error.h"
#include "web/workspace.h"

namespace fenban::web {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

int32_t LastTableColumn(const host::Worksheet& sheet) {
  return sheet.CurrentRegion(DivisionHeaderRow(sheet), 1).col2;
}

// The cells that tell a student apart: all but the class and the running
// number, which the statistics command renumbers.
std::vector<host::Value> StudentKey(const host::Worksheet& sheet, int32_t row) {
  std::vector<host::Value> key;
  for (int32_t column = 3; column <= LastTableColumn(sheet); ++column) key.push_back(sheet.CellValue(row, column));
  return key;
}

// The row of the student with that key in that class, or 0.
int32_t FindStudent(const host::Worksheet& sheet, const std::vector<host::Value>& key, const host::Value& inClass) {
  int32_t headerRow = DivisionHeaderRow(sheet);
  host::Rect table = sheet.CurrentRegion(headerRow, 1);
  for (int32_t row = headerRow + 1; row <= table.row2; ++row) {
    if (!(sheet.CellValue(row, 1) == inClass)) continue;
    bool same = true;
    for (size_t i = 0; i < key.size() && same; ++i) {
      same = sheet.CellValue(row, static_cast<int32_t>(i) + 3) == key[i];
    }
    if (same) return row;
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
    if (!value.IsEmpty() && host::DisplayText(value, "General") == label) return value;
  }
  return std::nullopt;
}

host::Worksheet& SheetOf(cli::Session& session, const std::string& name) {
  host::Worksheet* sheet = session.DataBook().FindSheet(name);
  if (sheet == nullptr) throw WebError(404, kNotice, fmt::format("没有工作表 “{}” (no such sheet)", name));
  return *sheet;
}

// Reruns the statistics command on the pair; false when it showed a box.
bool RebuildStatistics(cli::Session& session, const std::string& divisionSheet) {
  SheetOf(session, divisionSheet).Activate();
  return session.Fire("cmdTiaoBanClick");
}

}  // namespace

json Workspace::View(const std::string& sheet) {
  std::string division = DivisionSheetOf(sheet);
  if (division.empty()) throw WebError(400, kNotice, fmt::format("“{}” 不是分班表或统计表 (not a division sheet)", sheet));
  if (chosen_.empty()) throw WebError(400, kNotice, "应选择数据表！");
  json view;
  if (pending_ && pending_->book == chosen_ && pending_->sheet == division) {
    cli::Session& session = *pending_->run.session;
    view["division"] = DivisionJson(SheetOf(session, division));
    host::Worksheet& statistics = SheetOf(session, StatisticsSheetOf(division));
    view["statistics"] = GridJson(statistics);
    MarkMaxDiffChanges(view["statistics"], statistics, pending_->baseline);
  } else {
    std::unique_ptr<host::ModelWorkbook> book;
    try {
      book = files::ReadWorkbook(DataBookPath(chosen_).string());
    } catch (const host::RuntimeError& error) {
      throw WebError(500, "错误", error.Description());
    }
    host::Worksheet* divisionSheet = book->FindSheet(division);
    if (divisionSheet == nullptr) throw WebError(404, kNotice, fmt::format("没有工作表 “{}” (no such sheet)", division));
    view["division"] = DivisionJson(*divisionSheet);
    host::Worksheet* statistics = book->FindSheet(StatisticsSheetOf(division));
    view["statistics"] = statistics == nullptr ? json(nullptr) : GridJson(*statistics);
  }
  view["book"] = chosen_;
  view["pending"] = PendingJson();
  return view;
}

json Workspace::Move(const std::string& sheet, int32_t row, const std::string& toClass) {
  std::string division = DivisionSheetOf(sheet);
  if (division.empty() || division != sheet) {
    throw WebError(400, kNotice, fmt::format("只能在分班表里调班 (students move on a division sheet): {}", sheet));
  }
  if (chosen_.empty()) throw WebError(400, kNotice, "应选择数据表！");
  if (pending_ && (pending_->book != chosen_ || pending_->sheet != division)) {
    throw WebError(409, kNotice,
                   fmt::format("“{}” 有尚未保存的调班。请先保存或放弃。 (save or discard the moves on {} first)",
                               pending_->sheet, pending_->sheet));
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
  cli::Session& session = *moves.run.session;
  host::Worksheet& divisionSheet = SheetOf(session, division);
  int32_t headerRow = DivisionHeaderRow(divisionSheet);
  host::Rect table = divisionSheet.CurrentRegion(headerRow, 1);
  if (row <= headerRow || row > table.row2 || divisionSheet.CellValue(row, 1).IsEmpty()) {
    throw WebError(400, kNotice, fmt::format("第 {} 行不是学生 (row {} holds no student)", row, row));
  }
  StudentMove move{StudentKey(divisionSheet, row), divisionSheet.CellValue(row, 1), host::Value()};
  std::optional<host::Value> target = ClassValue(divisionSheet, toClass);
  if (!target) throw WebError(400, kNotice, fmt::format("没有 “{}” 班 (no such class)", toClass));
  if (*target == move.from) throw WebError(400, kNotice, "学生已经在这个班里 (already in that class)");
  move.to = *target;

  if (starting) {
    // The figures before any move, measured as the statistics command measures them.
    if (!RebuildStatistics(session, division)) return Outcome(moves.run, false);
    moves.baseline = ReadMaxDiffRows(SheetOf(session, StatisticsSheetOf(division)));
  }
  host::Worksheet& sorted = SheetOf(session, division);
  int32_t at = FindStudent(sorted, move.key, move.from);
  if (at == 0) throw WebError(500, "错误", "找不到要调的学生 (the student was not found again)");
  sorted.SetCellValue(at, 1, move.to);
  if (!RebuildStatistics(session, division)) {
    json result = Outcome(moves.run, false);
    pending_.reset();  // the model is no longer sound; the files are untouched
    return result;
  }
  moves.done.push_back(std::move(move));
  moves.undone.clear();
  if (starting) pending_ = std::move(fresh);
  json result = {{"ok", true}, {"boxes", json::array()}, {"notes", json::array()}};
  result["view"] = View(division);
  return result;
}

json Workspace::StepMoves(bool undo) {
  std::vector<StudentMove>& from = undo ? pending_->done : pending_->undone;
  std::vector<StudentMove>& to = undo ? pending_->undone : pending_->done;
  if (from.empty()) throw WebError(400, kNotice, undo ? "没有可撤销的调班 (nothing to undo)" : "没有可重做的调班 (nothing to redo)");
  StudentMove move = from.back();
  cli::Session& session = *pending_->run.session;
  host::Worksheet& sheet = SheetOf(session, pending_->sheet);
  const host::Value& now = undo ? move.to : move.from;
  int32_t at = FindStudent(sheet, move.key, now);
  if (at == 0) throw WebError(500, "错误", "找不到要调的学生 (the student was not found again)");
  sheet.SetCellValue(at, 1, undo ? move.from : move.to);
  if (!RebuildStatistics(session, pending_->sheet)) {
    json result = Outcome(pending_->run, false);
    pending_.reset();
    return result;
  }
  from.pop_back();
  to.push_back(std::move(move));
  json result = {{"ok", true}, {"boxes", json::array()}, {"notes", json::array()}};
  result["view"] = View(pending_->sheet);
  return result;
}

json Workspace::Undo() {
  if (!pending_) throw WebError(400, kNotice, "没有可撤销的调班 (nothing to undo)");
  return StepMoves(true);
}

json Workspace::Redo() {
  if (!pending_) throw WebError(400, kNotice, "没有可重做的调班 (nothing to redo)");
  return StepMoves(false);
}

json Workspace::SaveMoves() {
  if (!pending_) throw WebError(400, kNotice, "没有要保存的调班 (no moves to save)");
  cli::Session& session = *pending_->run.session;
  std::string sheet = pending_->sheet;
  json result = {{"ok", true}, {"boxes", json::array()}};
  session.SetHistoryCommand("调班");
  result["notes"] = SaveBooks(pending_->run, {&session.HostBook(), &session.DataBook()});
  pending_.reset();
  result["sheet"] = sheet;
  result["state"] = State();
  return result;
}

json Workspace::DiscardMoves() {
  pending_.reset();
  return {{"ok", true}, {"boxes", json::array()}, {"notes", json::array()}, {"state", State()}};
}

}  // namespace fenban::web
