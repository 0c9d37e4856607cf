// The host folder as the page works on it. Every form command runs as the
// terminal program runs it: a fresh session reads fenban.xlsx and the chosen
// data workbook, the form's events go to MyFun, and the workbooks are saved
// only when no message box was shown. Students moved by hand on the page
// stay in one session in memory, with the statistics rebuilt after every
// move, until they are saved or discarded.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/session.h"
#include "host/value.h"
#include "web/sheet_json.h"
#include "web/web_services.h"

namespace fenban::web {

// One run of the form: its services (which collect the message boxes) and
// the session they serve.
struct FormRun {
  std::unique_ptr<WebServices> services;
  std::unique_ptr<cli::Session> session;
};

// A student moved to another class, found again by the cells of its row.
struct StudentMove {
  std::vector<host::Value> key;
  host::Value from, to;
};

// Moves not yet saved, on one division sheet of one data workbook.
struct PendingMoves {
  std::string book;
  std::string sheet;
  FormRun run;
  MaxDiffRows baseline;  // the "最大差" rows before the first move
  std::vector<StudentMove> done, undone;
};

class Workspace {
 public:
  // A folder without fenban.xlsx is a cli::CliError.
  explicit Workspace(std::filesystem::path folder);

  const std::filesystem::path& Folder() const { return folder_; }

  // The data workbooks, the chosen one and its sheets, the stored option
  // values, and the moves waiting to be saved.
  nlohmann::json State();

  // Form commands; each answers {"ok", "boxes", "notes", "state", ...}.
  nlohmann::json Select(const std::string& book);
  nlohmann::json SetOption(const std::string& control, const nlohmann::json& value);
  nlohmann::json Divide();
  nlohmann::json Rebuild(const std::string& sheet);
  nlohmann::json Delete(const std::string& sheet);
  nlohmann::json Template();
  nlohmann::json Help();

  // A division of the chosen workbook: its classes and its statistics, with
  // the moves not yet saved and the "最大差" changes they made.
  nlohmann::json View(const std::string& sheet);
  // Moves the student on `row` of the division sheet to the class shown as `toClass`.
  nlohmann::json Move(const std::string& sheet, int32_t row, const std::string& toClass);
  nlohmann::json Undo();
  nlohmann::json Redo();
  nlohmann::json SaveMoves();
  nlohmann::json DiscardMoves();

  // Puts an uploaded workbook into 数据/ under `name`, never over a file.
  nlohmann::json Upload(const std::string& name, const std::string& bytes);

  // The versions kept of a data workbook of the listing, or of fenban.xlsx,
  // newest first; and the restore of one of them (the newest when number is
  // not given), which keeps the file it replaces as a version too.
  nlohmann::json Versions(const std::string& book);
  nlohmann::json Restore(const std::string& book, std::optional<int32_t> number);

  // Files the page may download: a data workbook named in the listing, the manual.
  std::filesystem::path DataBookPath(const std::string& book);
  std::filesystem::path HelpDocumentPath() const;

 private:
  FormRun OpenRun(bool selectBook);
  // Makes `sheet` of the chosen workbook active, sends the event and saves
  // both workbooks when no box was shown.
  nlohmann::json FireOnSheet(const std::string& sheet, const std::string& eventName);
  nlohmann::json Outcome(const FormRun& run, bool ok);
  // Saves through the session, unless a spreadsheet program has one of the
  // files open; returns what was saved where.
  std::vector<std::string> SaveBooks(FormRun& run, const std::vector<host::ModelWorkbook*>& books);
  void RefuseWhilePending(const std::string& what);
  std::vector<std::string> ListBooks();
  std::filesystem::path VersionedBookPath(const std::string& book);
  nlohmann::json PendingJson() const;
  nlohmann::json StepMoves(bool undo);

  std::filesystem::path folder_;
  std::string chosen_;
  std::unique_ptr<PendingMoves> pending_;
};

// "统计表N" for "分班表N" (and for "统计表N" itself); "" for other names.
std::string StatisticsSheetOf(const std::string& sheet);
std::string DivisionSheetOf(const std::string& sheet);

}  // namespace fenban::web
