// A small IDispatch base for test objects: members by name (any letter
// case), named arguments, by-reference arguments, run-time errors returned
// as exceptions, and a count of every call.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "host/value.h"

namespace fenban::automation::testing {

// Calls made on all test objects of one world, and one call that is made
// to fail: the member "Kind.Member" (such as "Range.Sort") raises run-time
// error faultNumber instead of running.
struct CallCounts {
  long invokes = 0;
  long lookups = 0;  // GetIDsOfNames
  // PageSetup calls made while the application talks to the printer
  // (Application.PrintCommunication on): each takes a real program about 0.1 s.
  long slowCalls = 0;
  std::map<std::wstring, long> byMember;  // "Range.Value" -> invokes
  std::wstring faultMember;
  int32_t faultNumber = 0;
  void Reset() {
    invokes = 0;
    lookups = 0;
    slowCalls = 0;
    byMember.clear();
  }
};

struct MemberInfo {
  const wchar_t* name;
  std::vector<const wchar_t*> params;  // for named arguments, in positional order
};

// The arguments of one Invoke, by parameter position.
class CallArgs {
 public:
  WORD flags = 0;
  std::vector<const VARIANT*> params;  // nullptr when not given
  const VARIANT* putValue = nullptr;   // the value of a property put

  bool IsPut() const { return putValue != nullptr; }
  bool Has(size_t i) const;
  host::Value ValueAt(size_t i) const;  // error 449 when missing
  int32_t LongAt(size_t i) const;
  double DoubleAt(size_t i) const;
  bool BoolAt(size_t i) const;
  std::string TextAt(size_t i) const;
  host::Value PutValue() const;
};

// QueryInterface with this IID gives the TestObject itself (no reference added).
extern const IID IID_TestObject;

class TestObject : public IDispatch {
 public:
  TestObject(CallCounts& counts, const wchar_t* kind, const std::vector<MemberInfo>& members);
  virtual ~TestObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override;

  // The test object an IDispatch argument is, or nullptr.
  static TestObject* Of(const VARIANT* v);

 protected:
  // Runs member `member` (its index in the table); throws host::RuntimeError.
  virtual Variant Run(size_t member, const CallArgs& args) = 0;

 private:
  LONG refs_ = 1;
  CallCounts* counts_;
  const wchar_t* kind_;
  const std::vector<MemberInfo>* members_;
};

}  // namespace fenban::automation::testing
