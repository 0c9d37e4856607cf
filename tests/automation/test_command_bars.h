// Application.CommandBars of a program without a ribbon, as Office's
// CommandBars reference describes it (Excel 2003): CommandBars.Add(Name,
// Position, MenuBar, Temporary) makes a toolbar with Visible and Controls;
// Controls.Add(Type, Id, Parameter, Before, Temporary) a button with Caption,
// Style and Delete. A button is a connectable object: it fires
// _CommandBarButtonEvents.Click(Ctrl, CancelDefault) (DISPID 1) to the sinks
// advised on it, and a sink that is not advised hears nothing.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "automation/com_ptr.h"
#include "test_dispatch_object.h"

namespace fenban::automation::testing {

struct CommandBarLog {
  std::vector<std::wstring> bars;  // the names of the toolbars added
  bool barVisible = false;
  int buttons = 0;
  std::wstring caption;
  int32_t style = 0;
  bool temporary = false;
  bool deleted = false;
  std::vector<ComPtr<IDispatch>> sinks;  // advised, not yet unadvised
};

// A new CommandBars object over `log` (one reference, for the caller).
IDispatch* MakeCommandBars(CommandBarLog& log, CallCounts& counts);
// A click on the button: Click(button, CancelDefault) to every advised sink.
void ClickBarButton(CommandBarLog& log);

}  // namespace fenban::automation::testing
