// The class factories of myfb and of the add-in, and the entry points COM
// looks up in the DLL.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <new>

#include "automation/addin_object.h"
#include "automation/myfb_object.h"
#include "automation/registration.h"
#include "automation/server_identity.h"
#include "automation/server_module.h"

namespace fenban::automation {

namespace {

// Makes objects of class T (MyfbObject or AddinObject).
template <typename T>
class ClassFactory final : public IClassFactory {
 public:
  ClassFactory() { automation::LockServer(); }
  ~ClassFactory() { automation::UnlockServer(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T();
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      automation::LockServer();
    } else {
      automation::UnlockServer();
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace

}  // namespace fenban::automation

using namespace fenban::automation;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    SetServerModule(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  IClassFactory* factory = nullptr;
  if (IsEqualCLSID(clsid, kClassId)) {
    factory = new (std::nothrow) ClassFactory<MyfbObject>();
  } else if (IsEqualCLSID(clsid, kAddinClassId)) {
    factory = new (std::nothrow) ClassFactory<AddinObject>();
  } else {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ServerInUse() ? S_FALSE : S_OK; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return RegisterServer(RegistrationScope::Machine); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return UnregisterServer(RegistrationScope::Machine); }

// regsvr32 /i:user registers for the current user only (no administrator
// rights needed); /u /i:user removes that registration. Without "user" the
// registration is machine-wide, as DllRegisterServer does it.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  const RegistrationScope scope = ScopeFromCommandLine(commandLine);
  return install ? RegisterServer(scope) : UnregisterServer(scope);
}
