// The host application reached by automation: the engine's Application
// interface over the spreadsheet application object `EA` a form passes in.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "host/application.h"
#include "host/services.h"

namespace fenban::automation {

// The application over EA for the length of one MyFun call. Cell values are
// read and written in blocks (Range.Value arrays); CompleteWrites sends what
// is still held back.
std::unique_ptr<host::Application> MakeDispatchApplication(IDispatch* EA, host::PlatformServices& services);

}  // namespace fenban::automation
