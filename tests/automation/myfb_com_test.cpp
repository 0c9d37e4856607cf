// MyFun through COM, created by its ProgID as a form's code creates it:
// every shape a caller passes its arguments in, the silenced host switched
// back on, an unknown event doing nothing, and a run-time error shown in one
// error box owned by the host's window.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <string>
#include <vector>

#include "automation/box_watcher.h"
#include "automation/com_ptr.h"
#include "automation/fake_dispatch.h"
#include "automation/server_identity.h"
#include "automation/variant.h"
#include "automation/vantrel_h.h"
#include "automation/win_check.h"

using namespace fenban;
using namespace fenban::automation;
using fenban::wintest::FakeDispatch;

namespace {

// A host application that knows its window and its two switches, and a form
// whose class-count box is empty.
struct Host {
  HWND window = CreateWindowExW(0, L"STATIC", L"测试表格程序", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr);
  ComPtr<FakeDispatch> app = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  ComPtr<FakeDispatch> form = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  ComPtr<FakeDispatch> classes = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  ComPtr<FakeDispatch> topN = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());

  Host() {
    app->Property(L"Hwnd", Variant::Long(static_cast<int32_t>(reinterpret_cast<INT_PTR>(window))));
    app->Property(L"DisplayAlerts", Variant::Bool(true));
    app->Property(L"ScreenUpdating", Variant::Bool(true));
    form->Property(L"Caption", Variant::Text("分班"));
    form->Child(L"txtFenBan", classes.Get());
    form->Child(L"txtNMing", topN.Get());
    classes->Property(L"Value", Variant::Text(""));
    topN->Property(L"Value", Variant::Text("3"));
  }
  ~Host() { DestroyWindow(window); }

  // The puts of the two switches, in order.
  std::vector<std::wstring> Switches() const {
    std::vector<std::wstring> puts;
    for (const std::wstring& entry : app->Log()) {
      if (entry == L"put DisplayAlerts" || entry == L"put ScreenUpdating") puts.push_back(entry);
    }
    return puts;
  }
  bool SwitchedBackOn() const {
    const VARIANT& alerts = app->Value(L"DisplayAlerts");
    const VARIANT& updating = app->Value(L"ScreenUpdating");
    return alerts.vt == VT_BOOL && alerts.boolVal == VARIANT_TRUE && updating.vt == VT_BOOL &&
           updating.boolVal == VARIANT_TRUE;
  }
};

const std::vector<std::wstring> kOffThenOn = {L"put DisplayAlerts", L"put ScreenUpdating", L"put DisplayAlerts",
                                              L"put ScreenUpdating"};

ComPtr<IDispatch> CreateByProgId() {
  CLSID clsid{};
  ComPtr<IDispatch> object;
  if (FAILED(CLSIDFromProgID(L"Vantrel.myfb", &clsid))) return object;
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(object.Out()));
  return object;
}

DISPID MyFunId(IDispatch* object) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR name = const_cast<LPOLESTR>(L"MyFun");
  object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

// Invokes MyFun with three VARIANTs given in natural order.
HRESULT Invoke(IDispatch* object, VARIANT ea, VARIANT uf, VARIANT flag, VARIANT* result, EXCEPINFO* exception,
               WORD flags = DISPATCH_METHOD) {
  VARIANT args[3] = {flag, uf, ea};
  DISPPARAMS params{args, nullptr, 3, 0};
  return object->Invoke(MyFunId(object), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, exception, nullptr);
}

VARIANT ByValue(IDispatch* object) {
  VARIANT v;
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  return v;
}

void EveryArgumentShapeIsAccepted() {
  ComPtr<IDispatch> myfb = CreateByProgId();
  if (!CHECK(myfb)) return;
  CHECK(MyFunId(myfb.Get()) == kMyFunId);

  // Literal event name, objects by value.
  {
    Host host;
    Variant flag = Variant::Text("noSuchEvent");
    Variant result;
    CHECK_HR(Invoke(myfb.Get(), ByValue(host.app.Get()), ByValue(host.form.Get()), flag.Raw(), result.Out(), nullptr),
             S_OK);
    CHECK(result.Raw().vt == VT_EMPTY);
    CHECK(host.Switches() == kOffThenOn);
    CHECK(host.SwitchedBackOn());
    CHECK(host.form->Log().empty());
  }
  // A form's code: variables by reference (VT_BYREF|VT_DISPATCH, VT_BYREF|VT_BSTR).
  {
    Host host;
    IDispatch* ea = host.app.Get();
    IDispatch* uf = host.form.Get();
    BSTR name = SysAllocString(L"cmdfenbanclick");  // letter case differs: no event
    VARIANT vea, vuf, vflag;
    vea.vt = VT_BYREF | VT_DISPATCH;
    vea.ppdispVal = &ea;
    vuf.vt = VT_BYREF | VT_DISPATCH;
    vuf.ppdispVal = &uf;
    vflag.vt = VT_BYREF | VT_BSTR;
    vflag.pbstrVal = &name;
    Variant result;
    CHECK_HR(Invoke(myfb.Get(), vea, vuf, vflag, result.Out(), nullptr, DISPATCH_METHOD | DISPATCH_PROPERTYGET),
             S_OK);
    CHECK(host.Switches() == kOffThenOn);
    CHECK(host.form->Log().empty());
    CHECK(ea == host.app.Get() && uf == host.form.Get());  // in/out parameters come back unchanged
    SysFreeString(name);
  }
  // A script: every variable as VT_BYREF|VT_VARIANT pointing at the value.
  {
    Host host;
    Variant ea = Variant::Dispatch(host.app.Get());
    Variant uf = Variant::Dispatch(host.form.Get());
    Variant flag = Variant::Text("");
    VARIANT vea, vuf, vflag;
    vea.vt = vuf.vt = vflag.vt = VT_BYREF | VT_VARIANT;
    vea.pvarVal = &ea.Raw();
    vuf.pvarVal = &uf.Raw();
    vflag.pvarVal = &flag.Raw();
    Variant result;
    CHECK_HR(Invoke(myfb.Get(), vea, vuf, vflag, result.Out(), nullptr), S_OK);
    CHECK(host.Switches() == kOffThenOn);
  }
  // Arguments by name, in any order.
  {
    Host host;
    DISPID ids[4] = {};
    LPOLESTR names[4] = {const_cast<LPOLESTR>(L"MyFun"), const_cast<LPOLESTR>(L"strFlag"),
                         const_cast<LPOLESTR>(L"UF"), const_cast<LPOLESTR>(L"EA")};
    CHECK_HR(myfb->GetIDsOfNames(IID_NULL, names, 4, LOCALE_USER_DEFAULT, ids), S_OK);
    Variant flag = Variant::Text("unknown");
    VARIANT args[3] = {flag.Raw(), ByValue(host.form.Get()), ByValue(host.app.Get())};
    DISPID named[3] = {ids[1], ids[2], ids[3]};
    DISPPARAMS params{args, named, 3, 3};
    CHECK_HR(myfb->Invoke(kMyFunId, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    CHECK(host.Switches() == kOffThenOn);
  }
  // The dual interface's own entry.
  {
    Host host;
    ComPtr<_myfb> dual;
    CHECK_HR(myfb->QueryInterface(kInterfaceId, reinterpret_cast<void**>(dual.Out())), S_OK);
    IDispatch* ea = host.app.Get();
    IDispatch* uf = host.form.Get();
    BSTR name = SysAllocString(L"UserFormInitialize ");
    Variant result;
    CHECK_HR(dual->MyFun(&ea, &uf, &name, result.Out()), S_OK);
    CHECK(host.Switches() == kOffThenOn);
    SysFreeString(name);
  }
}

void WrongCallsAreRefused() {
  ComPtr<IDispatch> myfb = CreateByProgId();
  if (!CHECK(myfb)) return;
  Host host;
  Variant number = Variant::Long(5);
  CHECK_HR(Invoke(myfb.Get(), ByValue(host.app.Get()), ByValue(host.form.Get()), number.Raw(), nullptr, nullptr),
           DISP_E_TYPEMISMATCH);
  VARIANT two[2] = {ByValue(host.form.Get()), ByValue(host.app.Get())};
  DISPPARAMS params{two, nullptr, 2, 0};
  CHECK_HR(myfb->Invoke(kMyFunId, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
           DISP_E_PARAMNOTFOUND);
  CHECK_HR(myfb->Invoke(kMyFunId + 1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
           DISP_E_MEMBERNOTFOUND);
  CHECK(host.app->Log().empty());  // nothing reached the host

  // No application: the call fails as a call on Nothing does (error 91).
  VARIANT nothing;
  nothing.vt = VT_DISPATCH;
  nothing.pdispVal = nullptr;
  Variant flag = Variant::Text("cmdFenBanClick");
  EXCEPINFO exception{};
  CHECK_HR(Invoke(myfb.Get(), nothing, ByValue(host.form.Get()), flag.Raw(), nullptr, &exception),
           DISP_E_EXCEPTION);
  CHECK(HRESULT_CODE(exception.scode) == 91);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
}

void ARunTimeErrorShowsOneErrorBox() {
  ComPtr<IDispatch> myfb = CreateByProgId();
  if (!CHECK(myfb)) return;
  Host host;
  wintest::BoxWatcher watcher;
  // The top-N box validates against the class count, which is empty: type mismatch.
  Variant flag = Variant::Text("txtNMingAfterUpdate");
  Variant result;
  CHECK_HR(Invoke(myfb.Get(), ByValue(host.app.Get()), ByValue(host.form.Get()), flag.Raw(), result.Out(), nullptr),
           S_OK);
  CHECK(result.Raw().vt == VT_EMPTY);
  const std::vector<wintest::SeenBox> boxes = watcher.Boxes();
  CHECK(boxes.size() == 1);
  if (!boxes.empty()) {
    CHECK_TEXT(boxes[0].title, L"错误");
    CHECK(boxes[0].text.rfind(L"错误[13]\r", 0) == 0 || boxes[0].text.rfind(L"错误[13]\n", 0) == 0);
    CHECK(boxes[0].text.size() > 7);  // the description follows
    CHECK(boxes[0].owner == host.window);
  }
  CHECK(host.Switches() == kOffThenOn);
  CHECK(host.SwitchedBackOn());
  // The stored option is untouched: nothing was written to the top-N box.
  CHECK(std::count(host.topN->Log().begin(), host.topN->Log().end(), L"put Value") == 0);
}

}  // namespace

int wmain() {
  CoInitialize(nullptr);
  EveryArgumentShapeIsAccepted();
  WrongCallsAreRefused();
  ARunTimeErrorShowsOneErrorBox();
  CoUninitialize();
  return fenban::wincheck::Summary("myfb_com_test");
}
