// The form's own routines: start-up, data workbook selection, option fields, help.
#pragma once

#include <cstdint>
#include <string>

#include "form/form.h"
#include "form/module_state.h"
#include "host/application.h"
#include "sheets/workbook_layout.h"

namespace fenban::form {

// Lists the data folder into ltbBiao and loads the seven options from "DTB"; skips failing steps.
void InitializeForm(host::Application& app, Form& form);
// Marks the form resizable and minimisable when its caption names it.
void MakeFormResizable(Form& form, const std::string& caption);
// Opens or activates the chosen data workbook, prepares its "数据表", loads its counters.
void SelectDataWorkbook(host::Application& app, Form& form, ModuleState& state);
// Removes ordinary, full-width and no-break spaces from the block around A1.
void RemoveListSpaces(host::Worksheet& sheet);
// Stores a check box's value in "DTB" row 2, in its column of kOptionControls (by event name).
void SaveCheckOption(host::Application& app, Form& form, const std::string& eventName);
// Validates a numeric option box and stores it in "DTB" row 2 at `column`.
void ValidateCountOption(host::Application& app, const ModuleState& state, Form& form, const std::string& control,
                         int32_t divisor, int32_t column, int32_t defaultValue, bool zeroToDefault, bool cap);
// The four after-update events of the text boxes.
void ClassCountAfterUpdate(host::Application& app, Form& form, const ModuleState& state);     // txtFenBan
void ExcellentAfterUpdate(host::Application& app, Form& form, const ModuleState& state);      // txtYouXiu
void PassAfterUpdate(host::Application& app, Form& form, const ModuleState& state);           // txtJiGe
void TopNAfterUpdate(host::Application& app, Form& form, const ModuleState& state);           // txtNMing
// Stores the header named in txtZongFenLie ("总分列"), without spaces around
// it, in "DTB" row 2; an empty box stores nothing there (the column "总分").
void TotalColumnAfterUpdate(host::Application& app, Form& form);
// The header of the total column the form names: txtZongFenLie's text, ""
// for "总分" and for a form without that box.
std::string TotalColumnOption(Form& form);
// Opens "help.doc" beside the host workbook with the platform's document opener.
void OpenHelpDocument(host::Application& app);

// The host workbook's settings sheet "DTB"; error 9 when it is missing.
host::Worksheet& SettingsSheet(host::Application& app);

using sheets::kTotalColumnOptionColumn;

// Folder separator used when building paths.
#ifdef _WIN32
inline constexpr const char* kPathSeparator = "\\";
#else
inline constexpr const char* kPathSeparator = "/";
#endif
// The data folder's name beside the host workbook.
inline constexpr const char* kDataFolderName = "数据";
// The manual the help button opens, beside the host workbook.
inline constexpr const char* kHelpDocumentName = "help.doc";

}  // namespace fenban::form
