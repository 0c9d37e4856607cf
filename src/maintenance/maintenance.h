// Workbook maintenance: the entry template sheet and the delete command.
#pragma once

#include "form/form.h"
#include "form/module_state.h"
#include "host/application.h"

namespace fenban::maintenance {

// "cmdDengJiClick": rebuilds the markers, subject column and rounding choice of "登记表".
void BuildEntryTemplate(host::Application& app, form::Form& form);
// "cmdDelClick": deletes every sheet but "数据表" and the active sheet's pair.
void DeleteDivisionSheets(host::Application& app, form::Form& form, form::ModuleState& state);

}  // namespace fenban::maintenance
