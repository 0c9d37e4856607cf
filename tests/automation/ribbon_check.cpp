#include "automation/ribbon_check.h"

#include <cstdio>
#include <cwctype>
#include <exception>
#include <map>
#include <set>

#include "automation/com_text.h"
#include "automation/dispatch_call.h"
#include "automation/win_check.h"

namespace fenban::automation::testing {

namespace {

constexpr wchar_t kNamespace2006[] = L"http://schemas.microsoft.com/office/2006/01/customui";
constexpr wchar_t kNamespace2009[] = L"http://schemas.microsoft.com/office/2009/07/customui";

// The parent each element of the checked subset may have.
const std::map<std::wstring, std::wstring>& AllowedParents() {
  static const std::map<std::wstring, std::wstring> parents = {
      {L"ribbon", L"customUI"}, {L"tabs", L"ribbon"}, {L"tab", L"tabs"}, {L"group", L"tab"}, {L"button", L"group"}};
  return parents;
}

bool IsUniqueId(const std::wstring& id) {
  if (id.empty() || id.size() > 1024) return false;
  if (!(std::iswalpha(id[0]) || id[0] == L'_')) return false;
  for (wchar_t c : id) {
    if (!(std::iswalnum(c) || c == L'_' || c == L'-' || c == L'.')) return false;
  }
  return true;
}

Dispatch NewDocument() {
  for (const wchar_t* progId : {L"Msxml2.DOMDocument.6.0", L"Msxml2.DOMDocument.3.0"}) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
    Dispatch document;
    if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(document.Out())))) {
      return document;
    }
  }
  return Dispatch();
}

std::wstring Text(DispatchCaller& caller, IDispatch* object, const wchar_t* member) {
  return Utf8ToWide(ToText(caller.Get(object, "", member).Raw()));
}

// An attribute's text; `present` false when the element has none.
std::wstring Attribute(DispatchCaller& caller, IDispatch* element, const wchar_t* name, bool& present) {
  Variant value = caller.Call(element, "", L"getAttribute", {Variant::Text(WideToUtf8(name))});
  present = value.Raw().vt == VT_BSTR;
  return present ? Utf8ToWide(ToText(value.Raw())) : std::wstring();
}

}  // namespace

std::vector<std::wstring> CheckRibbonXml(const std::wstring& xml) {
  std::vector<std::wstring> callbacks;
  Dispatch document = NewDocument();
  if (!CHECK(document)) return callbacks;
  DispIdCache names;
  DispatchCaller caller(names);
  try {
    caller.Put(document.Get(), "", L"async", Variant::Bool(false));
    const bool loaded = ToValue(caller.Call(document.Get(), "", L"loadXML", {Variant::Text(WideToUtf8(xml))}).Raw())
                            .Bool();
    if (!CHECK(loaded)) return callbacks;
    Dispatch root = caller.GetObject(document.Get(), "", L"documentElement");
    CHECK_TEXT(Text(caller, root.Get(), L"baseName"), L"customUI");
    const std::wstring space = Text(caller, root.Get(), L"namespaceURI");
    CHECK(space == kNamespace2006 || space == kNamespace2009);

    Dispatch all = caller.GetObject(document.Get(), "", L"getElementsByTagName", {Variant::Text("*")});
    const int32_t count = ToValue(caller.Get(all.Get(), "", L"length").Raw()).ToLong();
    std::set<std::wstring> ids;
    for (int32_t i = 0; i < count; ++i) {
      Dispatch element = caller.GetObject(all.Get(), "", L"item", {Variant::Long(i)});
      const std::wstring name = Text(caller, element.Get(), L"baseName");
      CHECK_TEXT(Text(caller, element.Get(), L"namespaceURI"), space);
      if (name == L"customUI") continue;
      const auto allowed = AllowedParents().find(name);
      if (!CHECK(allowed != AllowedParents().end())) continue;
      Dispatch parent = caller.GetObject(element.Get(), "", L"parentNode");
      CHECK_TEXT(Text(caller, parent.Get(), L"baseName"), allowed->second);
      bool present = false;
      if (name == L"tab" || name == L"group" || name == L"button") {
        int identities = 0;
        for (const wchar_t* kind : {L"id", L"idMso", L"idQ"}) {
          Attribute(caller, element.Get(), kind, present);
          identities += present ? 1 : 0;
        }
        CHECK(identities == 1);
      }
      const std::wstring id = Attribute(caller, element.Get(), L"id", present);
      if (present) {
        CHECK(IsUniqueId(id));
        CHECK(ids.insert(id).second);
      }
      const std::wstring label = Attribute(caller, element.Get(), L"label", present);
      CHECK(label.size() <= 1024);
      const std::wstring size = Attribute(caller, element.Get(), L"size", present);
      if (present) CHECK(name == L"button" && (size == L"normal" || size == L"large"));
      const std::wstring action = Attribute(caller, element.Get(), L"onAction", present);
      if (present) {
        CHECK(name == L"button" && !action.empty());
        callbacks.push_back(action);
      }
    }
  } catch (const std::exception& error) {
    std::printf("  the ribbon document could not be read: %s\n", error.what());
    CHECK(false);
  }
  return callbacks;
}

}  // namespace fenban::automation::testing
