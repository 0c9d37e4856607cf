// A small scriptable IDispatch object for the Windows tests: named
// properties that store a VARIANT, methods with handlers, a log of the calls
// in the order they came and counts of name lookups and invocations.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "automation/variant.h"

namespace fenban::wintest {

class FakeDispatch : public IDispatch {
 public:
  // Arguments in natural order (first argument first), by-reference shapes
  // left as the caller passed them; named arguments by their name.
  struct Call {
    WORD flags;
    std::vector<VARIANT*> args;
    std::map<std::wstring, VARIANT*> named;
  };
  using Handler = std::function<HRESULT(const Call& call, VARIANT* result, EXCEPINFO* exception)>;

  static FakeDispatch* Create() { return new FakeDispatch(); }

  // A property that keeps what is put into it.
  void Property(const std::wstring& name, automation::Variant initial = automation::Variant());
  // A method or computed property; `argNames` are the names callers may pass by name.
  void Method(const std::wstring& name, Handler handler, std::vector<std::wstring> argNames = {});
  // An object-valued property.
  void Child(const std::wstring& name, IDispatch* child);
  const VARIANT& Value(const std::wstring& name) const;
  // Changes what a property holds, as the user would.
  void Set(const std::wstring& name, automation::Variant value);
  // "get Name", "put Name", "call Name" in call order.
  const std::vector<std::wstring>& Log() const { return log_; }
  long Lookups() const { return lookups_; }
  long Invokes() const { return invokes_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override;

  ULONG References() const { return references_; }

 private:
  struct Member {
    std::wstring name;
    Handler handler;
    std::vector<std::wstring> argNames;
    automation::Variant stored;
    bool isProperty = false;
  };
  FakeDispatch() = default;
  virtual ~FakeDispatch() = default;
  Member* Find(const std::wstring& name);

  ULONG references_ = 1;
  std::vector<Member> members_;
  std::vector<std::wstring> log_;
  long lookups_ = 0;
  long invokes_ = 0;
};

// Fills an EXCEPINFO as a host reports run-time error `number`.
HRESULT RaiseInto(EXCEPINFO* exception, int number, const wchar_t* description);

}  // namespace fenban::wintest
