// MyFun: the one door into the system. Silences the host, routes the event by
// its exact name, shows a run-time error in the one error box, and always
// switches alerts and screen updating back on.
#include "bridge/myfb.h"

#include <exception>
#include <new>
#include <string>

#include "division/division.h"
#include "form/balance_columns.h"
#include "form/form_routines.h"
#include "host/constants.h"
#include "host/errors.h"
#include "maintenance/maintenance.h"
#include "sheets/workbook_layout.h"
#include "statistics/statistics.h"

namespace fenban::bridge {

namespace {

// Runs the command of strFlag; a name that matches no event runs nothing.
void RunEvent(host::Application& EA, form::Form& UF, form::ModuleState& state, const std::string& strFlag) {
  if (strFlag == "ltbBiaoClick") {
    form::SelectDataWorkbook(EA, UF, state);
  } else if (strFlag == "cmdFenBanClick") {
    division::DivideClasses(EA, UF, state);
  } else if (strFlag == "cmdTiaoBanClick") {
    statistics::RebuildStatistics(EA, UF, state);
  } else if (strFlag == "cmdDelClick") {
    maintenance::DeleteDivisionSheets(EA, UF, state);
  } else if (strFlag == "cmdDengJiClick") {
    maintenance::BuildEntryTemplate(EA, UF);
  } else if (strFlag == "chbXingBieAfterUpdate" || strFlag == "chbZuXiaoAfterUpdate" ||
             strFlag == "chbYingJieAfterUpdate" || strFlag == "chbYouHuaAfterUpdate") {
    form::SaveCheckOption(EA, UF, strFlag);
  } else if (strFlag == "txtFenBanAfterUpdate") {
    form::ClassCountAfterUpdate(EA, UF, state);
  } else if (strFlag == "txtYouXiuAfterUpdate") {
    form::ExcellentAfterUpdate(EA, UF, state);
  } else if (strFlag == "txtJiGeAfterUpdate") {
    form::PassAfterUpdate(EA, UF, state);
  } else if (strFlag == "txtZongFenLieAfterUpdate") {
    form::TotalColumnAfterUpdate(EA, UF);
  } else if (strFlag == "txtNMingAfterUpdate") {
    form::TopNAfterUpdate(EA, UF, state);
  } else if (strFlag == "txtJunHengAfterUpdate") {
    form::BalanceColumnsAfterUpdate(EA, UF);
  } else if (strFlag == "UserFormInitialize") {
    form::InitializeForm(EA, UF);
  } else if (strFlag == "cmdHelp") {
    form::OpenHelpDocument(EA);
  }
}

// Sends the writes a failed command still held back; the command's first
// error is the one reported, so a second one here is dropped.
void CompleteWritesQuietly(host::Application& app) {
  try {
    app.CompleteWrites();
  } catch (const std::exception&) {
  }
}

// Shows the error box; a box that cannot be shown must not stop MyFun from
// restoring the application's state.
void ShowError(host::Application& app, int32_t number, const std::string& description) {
  try {
    ErrorBox(app, number, description);
  } catch (const std::exception&) {
  }
}

}  // namespace

void ErrorBox(host::Application& app, int32_t number, const std::string& description) {
  app.MsgBox("错误[" + std::to_string(number) + "]\r" + description, host::kMsgCritical, sheets::kErrorTitle);
}

host::Value myfb::MyFun(host::Application& EA, form::Form& UF, const std::string& strFlag) {
  try {
    EA.SetDisplayAlerts(false);
    EA.SetScreenUpdating(false);
    const std::string flag = strFlag;
    RunEvent(EA, UF, state_, flag);
    EA.CompleteWrites();
  } catch (const host::RuntimeError& error) {
    CompleteWritesQuietly(EA);
    ShowError(EA, error.Number(), error.Description());
  } catch (const std::bad_alloc&) {
    CompleteWritesQuietly(EA);
    ShowError(EA, 7, "内存不足");
  } catch (const std::exception& error) {
    CompleteWritesQuietly(EA);
    ShowError(EA, host::kErrHost, error.what());
  }
  EA.SetDisplayAlerts(true);
  EA.SetScreenUpdating(true);
  return host::Value();
}

}  // namespace fenban::bridge
