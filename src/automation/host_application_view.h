// The spreadsheet application as the add-in's form hands it to MyFun: every
// member is the application's own, except ThisWorkbook, which is the host
// workbook (fenban.xlsx of the host folder). An add-in runs no macro, so the
// application's own ThisWorkbook has no workbook to name.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "automation/dispatch_call.h"

namespace fenban::automation {

// A new object over `application` (one reference, for the caller).
IDispatch* MakeHostApplicationView(IDispatch* application, IDispatch* hostWorkbook);

// The host workbook of `folder` in the application (fenban.xlsx, or
// fenban.xlsm): the open one (by Path and Name), else opened; without either
// file, fenban.xlsx is created (the
// folder, its 数据 folder, and a workbook with the sheets DTB, FBB, JZB,
// SYB and 登记表 saved there). Failures raise run-time errors.
Dispatch OpenHostWorkbook(IDispatch* application, const std::wstring& folder);

}  // namespace fenban::automation
