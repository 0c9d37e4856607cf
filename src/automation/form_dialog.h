// The division form as a native dialog: the list of data workbooks, the four
// option boxes, the balance boxes, 优化 and the five buttons, with the
// control names of the form (ltbBiao, txtFenBan, ..., cmdHelp). Each event
// goes through MyFun with the application (ThisWorkbook being the host
// workbook) as EA and the dialog as UF.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace fenban::automation {

// The dialog's title, which is also the form's Caption.
inline constexpr wchar_t kFormDialogTitle[] = L"分班";

// Shows the dialog, modal, owned by `owner`, until the user closes it.
// `hostWorkbook` is fenban.xlsx open in `application`.
void ShowFormDialog(IDispatch* application, IDispatch* hostWorkbook, HWND owner);

}  // namespace fenban::automation
