// Late-bound calls on IDispatch objects by member name, as a script calls
// them: names resolved through GetIDsOfNames (or IDispatchEx::GetDispID for
// objects that only answer that), cached per kind of object, arguments in
// natural order, named arguments by name, failures raised as run-time errors.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "automation/com_ptr.h"
#include "automation/variant.h"

namespace fenban::automation {

using Dispatch = ComPtr<IDispatch>;

// One argument passed by name, such as After:=sheet.
struct NamedArg {
  std::wstring name;
  Variant value;
};

// Resolves member names to DISPIDs. Objects of one kind (all ranges, all
// worksheets of one application) share their DISPIDs, so a name is looked
// up once per kind; an empty kind is never cached.
class DispIdCache {
 public:
  DISPID Find(IDispatch* object, const std::string& kind, const std::wstring& name);
  // Named arguments: the member's DISPID first, then one per argument name.
  std::vector<DISPID> FindWithArgs(IDispatch* object, const std::string& kind, const std::wstring& member,
                                   const std::vector<std::wstring>& argNames);
  // The number of GetIDsOfNames/GetDispID calls made so far.
  long Lookups() const { return lookups_; }

 private:
  std::map<std::pair<std::string, std::wstring>, DISPID> ids_;
  long lookups_ = 0;
};

// Calls on one object. `kind` names the object's kind for the cache.
class DispatchCaller {
 public:
  explicit DispatchCaller(DispIdCache& cache) : cache_(&cache) {}

  Variant Get(IDispatch* object, const std::string& kind, const std::wstring& name,
              std::vector<Variant> args = {});
  void Put(IDispatch* object, const std::string& kind, const std::wstring& name, Variant value,
           std::vector<Variant> args = {});
  // A method call; DISPATCH_METHOD | DISPATCH_PROPERTYGET as script callers do.
  Variant Call(IDispatch* object, const std::string& kind, const std::wstring& name, std::vector<Variant> args = {},
               std::vector<NamedArg> named = {});
  // The object a property or method returns; run-time error 91 when it returns none.
  Dispatch GetObject(IDispatch* object, const std::string& kind, const std::wstring& name,
                     std::vector<Variant> args = {});

  // The number of Invoke calls made so far.
  long Invokes() const { return invokes_; }

 private:
  Variant Invoke(IDispatch* object, const std::string& kind, const std::wstring& name, WORD flags,
                 std::vector<Variant>& args, std::vector<NamedArg>& named, Variant* putValue);

  DispIdCache* cache_;
  long invokes_ = 0;
};

}  // namespace fenban::automation
