// The host folder as the page works on it. Every form command runs as the
// terminal program runs it: a fresh session reads fenban.xlsx and the chosen
// data workbook, the form's events go to MyFun, and the workbooks are saved
// only when no message box was shown. Students moved by hand on the page
// stay in one session in memory, with the statistics rebuilt after every
// move, until they are saved or discarded.
//
// Every answer that shows the files carries their versions ("base"); the
// commands that write compare the base the page sends back with the files
// as they are, so that nothing another program (the terminal, a spreadsheet
// program, a second server, another tab) saved is overwritten unseen.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/class_export.h"
#include "app/session.h"
#include "files/workbook_files.h"
#include "host/value.h"
#include "web/file_version.h"
#include "sheets/workbook_layout.h"
#include "web/sheet_json.h"
#include "web/page_progress.h"
#include "web/workbook_cache.h"
#include "app/desktop_services.h"

namespace fenban::web {

// One run of the form: its services (which collect the message boxes) and
// the session they serve.
// The versions of fenban.xlsx and of the data workbook taken just before a
// run read them.
struct ReadVersions {
  FileVersion host;
  FileVersion data;
  bool operator==(const ReadVersions& other) const = default;
};

// One run of the form: its services (which collect the message boxes) and
// the session they serve.
struct FormRun {
  std::unique_ptr<app::DesktopServices> services;
  std::unique_ptr<app::Session> session;
  ReadVersions read;
};

// What a page's view was made from, as the page sends it back with a command.
struct ViewBase {
  std::string book;  // the chosen data workbook as shown; "" for none
  std::string host;  // FileVersion::Text of fenban.xlsx
  std::string data;  // of the chosen data workbook
  std::string edit;  // the mark of the moves as they were
};
nlohmann::json BaseJson(const ViewBase& base);
// A WebError (400) when the request has no base of this shape.
ViewBase BaseOf(const nlohmann::json& body);

// A student moved to another class, found again by the cells of its row.
struct StudentMove {
  std::vector<host::Value> key;
  host::Value from, to;
  std::string who;      // the student as a list of moves names it
  std::string warning;  // what the teacher was asked before the move, or ""
};

// One step of the teacher's: a student moved, or two students swapped (one
// move each way). Undo and redo take a step whole.
using MoveStep = std::vector<StudentMove>;

// Moves not yet saved, on one division sheet of one data workbook.
struct PendingMoves {
  std::string book;
  std::string sheet;
  FormRun run;
  MaxDiffRows baseline;  // the "最大差" rows before the first move
  std::vector<MoveStep> done, undone;
};

// A student as the page names it in a move: its id (StudentId) and the
// class the page shows it in.
struct ShownStudent {
  std::string id;
  std::string inClass;
};

class Workspace {
 public:
  // A folder without fenban.xlsx is a app::AppError.
  explicit Workspace(std::filesystem::path folder);

  const std::filesystem::path& Folder() const { return folder_; }

  // The data workbooks, the chosen one and its sheets, the stored option
  // values, and the moves waiting to be saved.
  nlohmann::json State();

  // Form commands; each answers {"ok", "boxes", "notes", "state", ...}.
  nlohmann::json Select(const std::string& book);
  nlohmann::json SetOption(const std::string& control, const nlohmann::json& value);
  // `list` carries the header row confirmed and the request to add up the
  // subjects; an answer that asks for the header row names it ("askHeaderRow").
  nlohmann::json Divide(const app::ListOptions& list = {});
  nlohmann::json Rebuild(const std::string& sheet);
  nlohmann::json Delete(const std::string& sheet);
  // The class lists of a division of the chosen workbook, written beside it.
  nlohmann::json Export(const app::ExportOptions& options);
  // Deletes one division ("分班表N") and its statistics sheet, nothing else.
  nlohmann::json DeleteDivision(const std::string& sheet);
  nlohmann::json Template();
  nlohmann::json Help();

  // A division of the chosen workbook: its classes and its statistics, with
  // the moves not yet saved and the "最大差" changes they made.
  nlohmann::json View(const std::string& sheet);
  // Moves the student with that id (StudentId), shown in class `fromClass`,
  // to the class shown as `toClass`. A move that separates a preset student
  // from its preset class, a "同班" group or joins a "分开" pair is only
  // made when `confirmed`; otherwise the answer asks ({"ok": false, "ask"}).
  nlohmann::json Move(const std::string& sheet, const std::string& studentId, const std::string& fromClass,
                      const std::string& toClass, bool confirmed);
  // Swaps two students of different classes in one step: each goes to the
  // class the page shows the other in. Asks as a move does.
  nlohmann::json Swap(const std::string& sheet, const ShownStudent& first, const ShownStudent& second,
                      bool confirmed);
  nlohmann::json Undo();
  nlohmann::json Redo();
  nlohmann::json SaveMoves();
  nlohmann::json DiscardMoves();

  // Refuses (409, saying what changed and listing the moves that cannot be
  // saved any more) when the files, the chosen workbook or, with
  // `movesToo`, the moves changed since the view `base` was made. A move
  // names its student, so it needs only the files to be as they were.
  void RequireCurrent(const ViewBase& base, bool movesToo);
  // Forgets moves made on files that changed since; the state as it is.
  nlohmann::json Reload();

  // Puts an uploaded workbook into 数据/ under `name` and chooses it. Over
  // a file of that name only when `replace` (the file there is kept as a
  // version); otherwise the answer asks ({"ok": false, "ask": "replace"}).
  // A CSV list becomes a new workbook, never over a file.
  nlohmann::json Upload(const std::string& name, const std::string& bytes, bool replace = false);
  // Takes a data workbook out of 数据/, keeping it as a version.
  nlohmann::json Remove(const std::string& book);

  // The versions kept of a data workbook of the listing, or of fenban.xlsx,
  // newest first; and the restore of one of them (the newest when number is
  // not given), which keeps the file it replaces as a version too.
  nlohmann::json Versions(const std::string& book);
  nlohmann::json Restore(const std::string& book, std::optional<int32_t> number);

  // Files the page may download: a data workbook named in the listing, the manual.
  std::filesystem::path DataBookPath(const std::string& book);
  // A list exported from a division of the data workbooks: a file of that
  // name in 数据/导出/; anything else is a WebError (404).
  std::filesystem::path ExportedListPath(const std::string& name) const;
  std::filesystem::path HelpDocumentPath() const;

  // The stage the running command has reached, for the page to show.
  PageProgress& Progress() { return progress_; }

  // How many times a workbook file was read (parsed) so far.
  int WorkbookReads() const { return cache_.Reads(); }

 private:
  FormRun OpenRun(bool selectBook);
  ReadVersions DiskVersions() const;
  // The base of what the page is shown now: the files the moves were made
  // on while there are moves, else the files as they are.
  ViewBase CurrentBase() const;
  // Marks a change of the moves (a move, undo, redo, save or discard).
  void Edited();
  std::string EditMark() const;
  std::vector<std::string> MovesText() const;
  // The name in 数据/ that the page means by `shown` (see ShownName).
  std::string RawBookName(const std::string& shown);
  // Makes `sheet` of the chosen workbook active, sends the event and saves
  // both workbooks when no box was shown.
  nlohmann::json FireOnSheet(const std::string& sheet, const std::string& eventName);
  nlohmann::json Outcome(const FormRun& run, bool ok);
  // Saves through the session, unless a spreadsheet program has one of the
  // files open; returns what was saved where. The workbooks saved in place
  // are taken out of the run into the cache: the run's workbooks are not
  // used after its save.
  std::vector<std::string> SaveBooks(FormRun& run, const std::vector<host::ModelWorkbook*>& books);
  // Refuses when a file changed between the run's reading and now.
  void RequireUnchangedSince(const ReadVersions& read);
  void RefuseWhilePending(const std::string& what);
  std::vector<std::string> ListBooks();
  std::filesystem::path VersionedBookPath(const std::string& book);
  nlohmann::json PendingJson() const;
  nlohmann::json StepMoves(bool undo);
  // The view of the division being changed: every class, or only
  // `classes` (what a step changed) for the page to put in place of its own
  // when its view is of the moves just before the step (the step's answer
  // says which: "since", the edit mark before it).
  nlohmann::json MovesView(const std::vector<std::string>* classes);
  // Starts or continues the moves on `sheet`, makes the step (each move's
  // student found by id in the class shown) and answers with the view;
  // asks first when a move has a warning and the step is not `confirmed`.
  nlohmann::json MakeStep(const std::string& sheet, const std::vector<std::pair<ShownStudent, std::string>>& moves,
                          bool confirmed);

  // After a save: the workbook to choose from now on, when the data workbook
  // went beside the original (an .xls list goes to "名单(fenban).xlsx").
  void FollowSavedCopy(const std::vector<files::SaveResult>& saved, const host::ModelWorkbook& data);

  std::filesystem::path folder_;
  // The workbooks as last read or saved; every run works on copies.
  WorkbookCache cache_;
  PageProgress progress_;
  std::string chosen_;  // as named in 数据/
  std::unique_ptr<PendingMoves> pending_;
  std::string serverMark_;  // tells this server's edit marks from another's
  uint64_t edits_ = 0;
};

using sheets::DivisionSheetOf;
using sheets::StatisticsSheetOf;

}  // namespace fenban::web
