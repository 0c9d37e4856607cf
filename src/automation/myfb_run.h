// One MyFun call from COM: the host and form over EA and UF, the Windows
// services, and the bridge's event routing.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "bridge/myfb.h"
#include "form/form.h"

namespace fenban::automation {

// Runs the event `flag` and leaves the empty result in `result`. Returns S_OK
// whatever the command did: its run-time errors are shown in the error box.
// Only a missing application, or a host that fails while alerts and screen
// updating are switched back on, makes the call fail (described in `exception`
// when the caller passed one).
HRESULT RunMyFun(bridge::myfb& core, IDispatch* EA, IDispatch* UF, const std::string& flag, VARIANT* result,
                 EXCEPINFO* exception = nullptr);
// The same for a form of our own (the add-in's dialog), with message boxes
// owned by `boxOwner`.
HRESULT RunMyFun(bridge::myfb& core, IDispatch* EA, form::Form& UF, HWND boxOwner, const std::string& flag);

}  // namespace fenban::automation
