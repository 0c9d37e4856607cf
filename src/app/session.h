// One run of the form on a host folder: the host workbook loaded as
// ThisWorkbook, the form model and the myfb object, and the events a front
// end sends to it.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/myfb.h"
#include "app/command_options.h"
#include "app/workbook_history.h"
#include "files/workbook_files.h"
#include "form/form.h"
#include "host/model_application.h"
#include "host/model_workbook.h"

namespace fenban::app {

class DesktopServices;

class Session {
 public:
  // Loads folder/fenban.xlsx. A missing folder or host workbook, or one that
  // cannot be read, is an AppError. Workbooks (the host workbook and the
  // data workbooks the form opens) are read through `loader`: the file
  // layer's reader unless a front end keeps workbooks between runs.
  Session(const std::filesystem::path& folder, DesktopServices& services,
          host::WorkbookLoader loader = files::ReadWorkbook);

  host::ModelApplication& App() { return *app_; }
  host::ModelWorkbook& HostBook() { return *hostBook_; }
  form::FormModel& Form() { return form_; }
  bridge::myfb& Bridge() { return bridge_; }
  const std::filesystem::path& Folder() const { return folder_; }

  // Sends one event to MyFun; false when it showed a message or error box.
  bool Fire(const std::string& eventName);
  // "UserFormInitialize".
  bool Start() { return Fire("UserFormInitialize"); }
  // Chooses the data workbook in ltbBiao and sends "ltbBiaoClick". A name
  // that is not in the list is an AppError naming the books that are.
  bool SelectBook(const std::string& book);
  // The chosen data workbook (by DataBookName).
  host::ModelWorkbook& DataBook();
  // Sets the given text boxes and sends their after-update events, in the
  // order of form::kOptionControls; stops at the first box shown.
  bool ApplyCounts(const CountOptions& counts);
  // The same for the four check boxes.
  bool ApplyChecks(const CheckOptions& checks);
  // The "均衡列" through the form's after-update event (stored in "DTB").
  bool ApplyBalance(const std::optional<std::string>& names);
  // Sets the boxes of how the list is read; the total column's box is
  // stored through its after-update event. False when a box was shown.
  bool ApplyListOptions(const ListOptions& list);
  // Writes 是 or 否 into "登记表" C2.
  void SetRounding(bool round);
  // Makes `sheet` the data workbook's active sheet; a missing sheet is a
  // AppError naming the sheets there are.
  void ActivateDataSheet(const std::string& sheet);

  // Saves the workbooks: refuses (AppError, WorkbookOpen) while a
  // spreadsheet program has one of them open; writes and reads back each one
  // before the first file is replaced, so that a failure leaves every file as
  // it was (AppError, SaveFailed); keeps each file it replaces as a version;
  // then replaces them in the given order. Returns where each went.
  // `written`, when given, is told of each workbook written and checked,
  // before any file is replaced.
  using WrittenHook = std::function<void(const files::PreparedSave&)>;
  std::vector<files::SaveResult> Save(const std::vector<host::ModelWorkbook*>& books, const WrittenHook& written = {});
  // The number N of the "分班表N" the last division made.
  int32_t NewDivisionSheetNumber();

  // What the versions a save keeps record as the command that replaced
  // them ("fenban divide"); without it, the form command last sent ("分班").
  void SetHistoryCommand(std::string command) { historyCommand_ = std::move(command); }
  // The versions the last save kept, one for each file it replaced.
  const std::vector<KeptVersion>& KeptVersions() const { return keptVersions_; }

 private:
  // `option` is the command-line option the entry came from, for messages.
  bool SetTextAndFire(const std::string& entry, const std::string& control, const std::string& option);
  bool SetCheckAndFire(bool ticked, const std::string& control);

  std::filesystem::path folder_;
  DesktopServices* services_;
  std::unique_ptr<host::ModelApplication> app_;
  host::ModelWorkbook* hostBook_ = nullptr;
  form::FormModel form_;
  bridge::myfb bridge_;
  std::string lastEvent_;
  std::string historyCommand_;
  std::vector<KeptVersion> keptVersions_;
};


// What a save did, one line each, as the front ends show it: "已保存 saved:
// PATH", or for a copy saved beside the original its path, the reason and
// the name to choose from now on.
std::vector<std::string> SaveNotes(const std::vector<files::SaveResult>& saved);

}  // namespace fenban::app
