// The add-in: connection, ribbon, the button's callback, and a command bar
// button for hosts without a ribbon.
#include "automation/addin_object.h"

#include <ocidl.h>

#include <exception>
#include <string>

#include "automation/com_text.h"
#include "automation/dispatch_call.h"
#include "automation/form_dialog.h"
#include "automation/host_application_view.h"
#include "automation/host_folder_setting.h"
#include "automation/installed_manual.h"
#include "automation/ribbon_xml.h"
#include "automation/server_module.h"
#include "automation/untyped_dispatch.h"
#include "host/errors.h"

namespace fenban::automation {

namespace {

// The button callback's DISPID on the add-in's IDispatch.
constexpr DISPID kCallbackId = 1;
// {000C0351-0000-0000-C000-000000000046}: _CommandBarButtonEvents; Click is DISPID 1.
constexpr IID kIidCommandBarButtonEvents = {0x000C0351, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// MsoBarPosition msoBarTop, MsoControlType msoControlButton, MsoButtonStyle msoButtonCaption.
constexpr int32_t kBarTop = 1;
constexpr int32_t kControlButton = 1;
constexpr int32_t kButtonCaption = 2;

// The host's main window (Application.Hwnd), else the active window.
HWND HostWindow(IDispatch* application) {
  try {
    DispIdCache names;
    DispatchCaller caller(names);
    const host::Value handle = ToValue(caller.Get(application, "", L"Hwnd").Raw());
    if (handle.IsNumber()) return reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<int64_t>(handle.Number())));
  } catch (const std::exception&) {
  }
  return GetActiveWindow();
}

// Receives the command bar button's Click and opens the form.
class ButtonSink final : public UntypedDispatch {
 public:
  explicit ButtonSink(AddinObject& addin) : UntypedDispatch(kIidCommandBarButtonEvents), addin_(&addin) {}
  void Detach() { addin_ = nullptr; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (result) VariantInit(result);
    if (id == 1 && addin_) addin_->ShowForm();
    return S_OK;
  }

 private:
  AddinObject* addin_;
};

}  // namespace

AddinObject::AddinObject() { LockServer(); }
AddinObject::~AddinObject() { UnlockServer(); }

HRESULT AddinObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidDTExtensibility2)) {
    *out = static_cast<IDTExtensibility2*>(this);
  } else if (IsEqualIID(iid, kIidRibbonExtensibility)) {
    *out = static_cast<IRibbonExtensibility*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG AddinObject::AddRef() { return ++references_; }

ULONG AddinObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT AddinObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT AddinObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT AddinObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  if (count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (_wcsicmp(names[0], kRibbonCallbackName) != 0 || count > 1) return DISP_E_UNKNOWNNAME;
  ids[0] = kCallbackId;
  return S_OK;
}

// The callback takes the ribbon control (IRibbonControl) and returns nothing.
HRESULT AddinObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                            UINT* argError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (id != kCallbackId || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (!params) return E_POINTER;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  const VARTYPE type = params->rgvarg[0].vt & ~VT_BYREF;
  if (type != VT_DISPATCH && type != VT_UNKNOWN) {
    if (argError) *argError = 0;
    return DISP_E_TYPEMISMATCH;
  }
  if (result) VariantInit(result);
  return ShowForm();
}

HRESULT AddinObject::OnConnection(IDispatch* application, AddInConnectMode, IDispatch*, SAFEARRAY**) {
  if (!application) return E_POINTER;
  application_ = ComPtr<IDispatch>::Share(application);
  return S_OK;
}

HRESULT AddinObject::OnDisconnection(AddInDisconnectMode, SAFEARRAY**) {
  if (buttonSink_) {
    ComPtr<IConnectionPointContainer> container;
    if (menuButton_ && SUCCEEDED(menuButton_->QueryInterface(IID_IConnectionPointContainer,
                                                             reinterpret_cast<void**>(container.Out())))) {
      ComPtr<IConnectionPoint> point;
      if (SUCCEEDED(container->FindConnectionPoint(kIidCommandBarButtonEvents, point.Out()))) point->Unadvise(sinkCookie_);
    }
    static_cast<ButtonSink*>(buttonSink_.Get())->Detach();
  }
  if (menuButton_) {
    try {
      DispIdCache names;
      DispatchCaller caller(names);
      caller.Call(menuButton_.Get(), "", L"Delete");
    } catch (const std::exception&) {
    }
  }
  buttonSink_ = ComPtr<IDispatch>();
  menuButton_ = ComPtr<IDispatch>();
  application_ = ComPtr<IDispatch>();
  return S_OK;
}

HRESULT AddinObject::OnAddInsUpdate(SAFEARRAY**) { return S_OK; }

HRESULT AddinObject::OnStartupComplete(SAFEARRAY**) {
  AddMenuButtonIfNoRibbon();
  return S_OK;
}

HRESULT AddinObject::OnBeginShutdown(SAFEARRAY**) { return S_OK; }

HRESULT AddinObject::GetCustomUI(BSTR, BSTR* ribbonXml) {
  if (!ribbonXml) return E_POINTER;
  ribbonAsked_ = true;
  const std::wstring xml = RibbonXml();
  *ribbonXml = SysAllocStringLen(xml.data(), static_cast<UINT>(xml.size()));
  return *ribbonXml ? S_OK : E_OUTOFMEMORY;
}

HRESULT AddinObject::ShowForm() {
  if (!application_) return E_UNEXPECTED;
  // A second click while the form is open (from the command bar) does nothing.
  if (dialogOpen_) return S_OK;
  dialogOpen_ = true;
  const HWND owner = HostWindow(application_.Get());
  ComPtr<IDispatch> keep = application_;
  try {
    const std::wstring folder = HostFolder();
    Dispatch hostWorkbook = OpenHostWorkbook(keep.Get(), folder);
    // The help button opens the host folder's help.doc: the installed one.
    RefreshHostManual(folder);
    ShowFormDialog(keep.Get(), hostWorkbook.Get(), owner);
  } catch (const host::RuntimeError& error) {
    const std::wstring text =
        L"错误[" + std::to_wstring(error.Number()) + L"]\r" + Utf8ToWide(error.Description());
    MessageBoxW(owner, text.c_str(), L"错误", MB_OK | MB_ICONSTOP);
  } catch (const std::exception& error) {
    MessageBoxW(owner, Utf8ToWide(error.what()).c_str(), L"错误", MB_OK | MB_ICONSTOP);
  }
  dialogOpen_ = false;
  return S_OK;
}

void AddinObject::AddMenuButtonIfNoRibbon() {
  if (ribbonAsked_ || menuButton_ || !application_) return;
  try {
    DispIdCache names;
    DispatchCaller caller(names);
    Dispatch bars = caller.GetObject(application_.Get(), "", L"CommandBars");
    Dispatch bar = Dispatch::Adopt(TakeDispatch(caller.Call(bars.Get(), "", L"Add", {},
                                                            {{L"Name", Variant::Text("分班")},
                                                             {L"Position", Variant::Long(kBarTop)},
                                                             {L"Temporary", Variant::Bool(true)}})
                                                    .Raw()));
    if (!bar) return;
    caller.Put(bar.Get(), "", L"Visible", Variant::Bool(true));
    Dispatch controls = caller.GetObject(bar.Get(), "", L"Controls");
    Dispatch button = Dispatch::Adopt(TakeDispatch(
        caller.Call(controls.Get(), "", L"Add", {},
                    {{L"Type", Variant::Long(kControlButton)}, {L"Temporary", Variant::Bool(true)}})
            .Raw()));
    if (!button) return;
    caller.Put(button.Get(), "", L"Caption", Variant::Text("分班"));
    caller.Put(button.Get(), "", L"Style", Variant::Long(kButtonCaption));
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (FAILED(button->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out()))) ||
        FAILED(container->FindConnectionPoint(kIidCommandBarButtonEvents, point.Out()))) {
      return;
    }
    ComPtr<IDispatch> sink = ComPtr<IDispatch>::Adopt(new ButtonSink(*this));
    if (FAILED(point->Advise(sink.Get(), &sinkCookie_))) return;
    menuButton_ = button;
    buttonSink_ = sink;
  } catch (const std::exception&) {
    // A host with neither a ribbon nor command bars shows no button.
  }
}

}  // namespace fenban::automation
