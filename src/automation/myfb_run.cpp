// One MyFun call from COM: the host over EA, the form over UF, the Windows
// services with message boxes owned by the host's window, then the bridge.
#include "automation/myfb_run.h"

#include <exception>
#include <memory>
#include <new>

#include "automation/com_text.h"
#include "automation/dispatch_call.h"
#include "automation/dispatch_form.h"
#include "automation/dispatch_host.h"
#include "automation/student_check.h"
#include "automation/windows_services.h"
#include "host/errors.h"

namespace fenban::automation {

namespace {

// The host application's main window (its Hwnd member); null when the host
// does not tell, and then message boxes have no owner.
HWND ApplicationWindow(DispatchCaller& caller, IDispatch* EA) {
  try {
    const host::Value handle = ToValue(caller.Get(EA, "", L"Hwnd").Raw());
    if (!handle.IsNumber()) return nullptr;
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<int64_t>(handle.Number())));
  } catch (const std::exception&) {
    return nullptr;
  }
}

HRESULT Failure(EXCEPINFO* exception, int32_t number, const std::string& description) {
  if (exception) {
    *exception = EXCEPINFO{};
    exception->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<WORD>(number));
    exception->bstrSource = SysAllocString(L"Vantrel.myfb");
    try {
      exception->bstrDescription = Utf8ToBstr(description);
    } catch (const std::bad_alloc&) {
    }
  }
  return exception ? DISP_E_EXCEPTION : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<WORD>(number));
}

// Runs the event on the form over UF, or on `nativeForm` when there is one.
HRESULT Run(bridge::myfb& core, IDispatch* EA, IDispatch* UF, form::Form* nativeForm, HWND boxOwner,
            const std::string& flag, EXCEPINFO* exception) {
  // Without the application nothing can be silenced or restored: the call
  // fails as a late-bound call on Nothing does.
  if (!EA) return Failure(exception, 91, host::DefaultDescription(91));
  try {
    DispIdCache names;
    DispatchCaller caller(names);
    WindowsServices windows(boxOwner ? boxOwner : ApplicationWindow(caller, EA));
    CheckedServices services(windows);
    std::unique_ptr<host::Application> application = MakeDispatchApplication(EA, services);
    // A division or a recount is checked before it reports success.
    if (CheckedServices::Checks(flag)) services.Arm(*application, core.State());
    if (nativeForm) {
      core.MyFun(*application, *nativeForm, flag);
    } else {
      DispatchForm form(UF, caller);
      core.MyFun(*application, form, flag);
    }
  } catch (const host::RuntimeError& error) {
    // Only switching alerts and screen updating back on can fail here.
    return Failure(exception, error.Number(), error.Description());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& error) {
    return Failure(exception, host::kErrHost, error.what());
  }
  return S_OK;
}

}  // namespace

HRESULT RunMyFun(bridge::myfb& core, IDispatch* EA, IDispatch* UF, const std::string& flag, VARIANT* result,
                 EXCEPINFO* exception) {
  VariantInit(result);
  return Run(core, EA, UF, nullptr, nullptr, flag, exception);
}

HRESULT RunMyFun(bridge::myfb& core, IDispatch* EA, form::Form& UF, HWND boxOwner, const std::string& flag) {
  return Run(core, EA, nullptr, &UF, boxOwner, flag, nullptr);
}

}  // namespace fenban::automation
