// Late-bound calls and the form over IDispatch, against scriptable test objects.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>

#include "automation/com_ptr.h"
#include "automation/com_text.h"
#include "automation/dispatch_call.h"
#include "automation/dispatch_form.h"
#include "automation/fake_dispatch.h"
#include "automation/variant.h"
#include "automation/win_check.h"
#include "host/errors.h"

using namespace fenban;
using namespace fenban::automation;
using fenban::wintest::FakeDispatch;

namespace {

// The run-time error number a statement raises; 0 when it raises none.
template <typename F>
int ErrorOf(F statement, std::string* description = nullptr) {
  try {
    statement();
  } catch (const host::RuntimeError& error) {
    if (description) *description = error.Description();
    return error.Number();
  }
  return 0;
}

void ArgumentsArriveInOrderWithNamesAndPuts() {
  ComPtr<FakeDispatch> sheet = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  std::wstring seen;
  sheet->Method(
      L"Sort",
      [&](const FakeDispatch::Call& call, VARIANT* result, EXCEPINFO*) {
        for (VARIANT* arg : call.args) seen += Utf8ToWide(ToText(*arg)) + L",";
        for (const auto& [name, value] : call.named) seen += name + L"=" + Utf8ToWide(ToText(*value)) + L";";
        result->vt = VT_I4;
        result->lVal = 7;
        return S_OK;
      },
      {L"Key1", L"Order1", L"Header"});
  sheet->Property(L"Name", Variant::Text("数据表"));
  DispIdCache cache;
  DispatchCaller caller(cache);
  const Variant r = caller.Call(sheet.Get(), "Sheet", L"Sort", {Variant::Text("A"), Variant::Long(2)},
                                {{L"Header", Variant::Long(1)}, {L"Order1", Variant::Long(2)}});
  CHECK_TEXT(seen, L"A,2,Header=1;Order1=2;");
  CHECK(ToValue(r.Raw()) == host::Value(7));

  CHECK(ToText(caller.Get(sheet.Get(), "Sheet", L"Name").Raw()) == "数据表");
  caller.Put(sheet.Get(), "Sheet", L"Name", Variant::Text("分班表1"));
  CHECK(ToText(sheet->Value(L"Name")) == "分班表1");
  CHECK(caller.Invokes() == 3);

  // Names are looked up once per kind of object: a second sheet of the same
  // kind costs no lookup, a call without a kind always looks up.
  const long lookups = cache.Lookups();
  caller.Get(sheet.Get(), "Sheet", L"Name");
  caller.Get(sheet.Get(), "Sheet", L"name");  // another spelling is another key, but one lookup
  CHECK(cache.Lookups() == lookups + 1);
  caller.Get(sheet.Get(), "", L"Name");
  caller.Get(sheet.Get(), "", L"Name");
  CHECK(cache.Lookups() == lookups + 3);
}

void FailuresBecomeRunTimeErrors() {
  ComPtr<FakeDispatch> app = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  app->Method(L"Open", [](const FakeDispatch::Call&, VARIANT*, EXCEPINFO* exception) {
    return wintest::RaiseInto(exception, 1004, L"无法打开文件");
  });
  app->Method(L"Bad", [](const FakeDispatch::Call&, VARIANT*, EXCEPINFO*) { return DISP_E_TYPEMISMATCH; });
  app->Property(L"Nothing");
  DispIdCache cache;
  DispatchCaller caller(cache);
  std::string description;
  CHECK(ErrorOf([&] { caller.Call(app.Get(), "App", L"Open", {Variant::Text("x")}); }, &description) == 1004);
  CHECK(description == "无法打开文件");
  CHECK(ErrorOf([&] { caller.Call(app.Get(), "App", L"Bad"); }) == 13);
  CHECK(ErrorOf([&] { caller.Get(app.Get(), "App", L"NoSuchMember"); }) == 438);
  CHECK(ErrorOf([&] { caller.GetObject(app.Get(), "App", L"Nothing"); }) == 91);
  CHECK(ErrorOf([&] { caller.Get(nullptr, "App", L"Name"); }) == 91);
}

void VariantsConvertToCellValues() {
  Variant text = Variant::Text("张三");
  VARIANT byRef;
  byRef.vt = VT_BYREF | VT_VARIANT;
  byRef.pvarVal = &text.Raw();
  CHECK(ToText(byRef) == "张三");
  CHECK(ToValue(byRef) == host::Value("张三"));
  VARIANT shortNumber;
  shortNumber.vt = VT_I2;
  shortNumber.iVal = -3;
  CHECK(ToValue(shortNumber) == host::Value(-3));
  VARIANT date;
  date.vt = VT_DATE;
  date.date = 45000.5;
  CHECK(ToValue(date) == host::Value(45000.5));
  VARIANT null;
  null.vt = VT_NULL;
  CHECK(IsNull(null) && ToValue(null).IsEmpty());
  VARIANT error;
  error.vt = VT_ERROR;
  error.scode = static_cast<SCODE>(0x800A07FA);
  CHECK(ToValue(error) == host::Value(host::ErrorValue{"#N/A"}));
  // Round trips keep the kind.
  for (const host::Value& v : {host::Value(), host::Value(85.5), host::Value("及格"), host::Value::Boolean(true),
                               host::Value(host::ErrorValue{"#DIV/0!"})}) {
    CHECK(ToValue(Variant(v).Raw()) == v);
  }
  VARIANT object;
  object.vt = VT_UNKNOWN;
  object.punkVal = nullptr;
  CHECK(TakeDispatch(object) == nullptr);
  VARIANT array;
  array.vt = VT_ARRAY | VT_VARIANT;
  array.parray = nullptr;
  CHECK(ErrorOf([&] { ToValue(array); }) == 13);
}

// A user form as a form's code sees it: controls as members of the form.
struct TestForm {
  ComPtr<FakeDispatch> form = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  ComPtr<FakeDispatch> list = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  ComPtr<FakeDispatch> classes = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  ComPtr<FakeDispatch> sex = ComPtr<FakeDispatch>::Adopt(FakeDispatch::Create());
  std::vector<std::string> items;

  TestForm() {
    form->Property(L"Caption", Variant::Text("分班"));
    form->Child(L"ltbBiao", list.Get());
    form->Child(L"txtFenBan", classes.Get());
    form->Child(L"chbXingBie", sex.Get());
    list->Method(L"AddItem", [this](const FakeDispatch::Call& call, VARIANT*, EXCEPINFO*) {
      items.push_back(ToText(*call.args.at(0)));
      return S_OK;
    });
    list->Property(L"ListIndex", Variant::Long(-1));
    VARIANT null;
    null.vt = VT_NULL;
    list->Property(L"Value", Variant::CopyOf(null));
    classes->Property(L"Value", Variant::Text("8"));
    sex->Property(L"Value", Variant::Bool(true));
  }
};

void TheFormIsReadAndWrittenByControlName() {
  TestForm test;
  DispIdCache cache;
  DispatchCaller caller(cache);
  DispatchForm form(test.form.Get(), caller);
  CHECK(form.Caption() == "分班");
  form.AddItem("ltbBiao", "高一.xlsx");
  form.AddItem("ltbBiao", "名单 2.xls");
  CHECK(test.items == (std::vector<std::string>{"高一.xlsx", "名单 2.xls"}));
  CHECK(form.ListIndex("ltbBiao") == -1);
  CHECK(!form.ListValue("ltbBiao").has_value());  // Null: nothing chosen
  test.list->Set(L"ListIndex", Variant::Long(1));
  test.list->Set(L"Value", Variant::Text("名单 2.xls"));
  CHECK(form.ListIndex("ltbBiao") == 1);
  CHECK(form.ListValue("ltbBiao") == std::optional<std::string>("名单 2.xls"));

  // A text box holds text as the user typed it; the core reads it as a value.
  CHECK(form.ControlValue("txtFenBan") == host::Value("8"));
  form.SetControlValue("txtFenBan", host::Value(6));
  CHECK(test.classes->Value(L"Value").vt == VT_R8 && test.classes->Value(L"Value").dblVal == 6);
  CHECK(form.ControlValue("chbXingBie") == host::Value::Boolean(true));
  form.SetControlValue("chbXingBie", host::Value::Boolean(false));
  CHECK(test.sex->Value(L"Value").vt == VT_BOOL && test.sex->Value(L"Value").boolVal == VARIANT_FALSE);
  CHECK(ErrorOf([&] { form.ControlValue("txtNoSuchBox"); }) == 438);

  // No window has this caption under test: nothing happens, nothing raises.
  CHECK(ErrorOf([&] { form.MakeResizable("分班"); }) == 0);
  // Each control's DISPIDs are looked up once for the whole call.
  const long lookups = cache.Lookups();
  form.ControlValue("txtFenBan");
  form.ControlValue("txtFenBan");
  CHECK(cache.Lookups() == lookups);
}

}  // namespace

int wmain() {
  CoInitialize(nullptr);
  ArgumentsArriveInOrderWithNamesAndPuts();
  FailuresBecomeRunTimeErrors();
  VariantsConvertToCellValues();
  TheFormIsReadAndWrittenByControlName();
  CoUninitialize();
  return fenban::wincheck::Summary("dispatch_call_test");
}
