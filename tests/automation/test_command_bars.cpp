#include "test_command_bars.h"

#include <ocidl.h>
#include <olectl.h>

#include "automation/com_text.h"
#include "host/errors.h"

namespace fenban::automation::testing {

namespace {

// {000C0351-0000-0000-C000-000000000046}: _CommandBarButtonEvents.
constexpr IID kButtonEvents = {0x000C0351, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

Variant Hand(IDispatch* fresh) {
  Variant v = Variant::Dispatch(fresh);
  fresh->Release();
  return v;
}

class TestBarButton final : public TestObject, public IConnectionPointContainer, public IConnectionPoint {
 public:
  TestBarButton(CommandBarLog& log, CallCounts& counts, bool temporary)
      : TestObject(counts, L"CommandBarButton", Members()), log_(log) {
    log_.temporary = temporary;
  }
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Caption", {}}, {L"Style", {}}, {L"Delete", {}}};
    return members;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out && IsEqualIID(iid, IID_IConnectionPointContainer)) {
      *out = static_cast<IConnectionPointContainer*>(this);
      AddRef();
      return S_OK;
    }
    return TestObject::QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return TestObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return TestObject::Release(); }

  // IConnectionPointContainer: one point, for the button's events.
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, kButtonEvents)) return CONNECT_E_NOCONNECTION;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  // IConnectionPoint
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = kButtonEvents;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (!out) return E_POINTER;
    *out = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    ComPtr<IDispatch> events;
    // The sink must be the events' dispatch interface.
    if (FAILED(sink->QueryInterface(kButtonEvents, reinterpret_cast<void**>(events.Out())))) {
      return CONNECT_E_CANNOTCONNECT;
    }
    log_.sinks.push_back(events);
    *cookie = static_cast<DWORD>(log_.sinks.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie == 0 || cookie > log_.sinks.size() || !log_.sinks[cookie - 1]) return CONNECT_E_NOCONNECTION;
    log_.sinks[cookie - 1] = ComPtr<IDispatch>();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    if (log_.deleted) host::Raise(host::kErrHost, "按钮已被删除");
    switch (member) {
      case 0:
        if (args.IsPut()) return log_.caption = Utf8ToWide(args.PutValue().ToText()), Variant();
        return Variant::Text(WideToUtf8(log_.caption));
      case 1:
        if (args.IsPut()) return log_.style = args.PutValue().ToLong(), Variant();
        return Variant::Long(log_.style);
      default: log_.deleted = true; return Variant();
    }
  }

 private:
  CommandBarLog& log_;
};

class TestBarControls final : public TestObject {
 public:
  TestBarControls(CommandBarLog& log, CallCounts& counts)
      : TestObject(counts, L"CommandBarControls", Members()), log_(log), counts_(counts) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {
        {L"Add", {L"Type", L"Id", L"Parameter", L"Before", L"Temporary"}}};
    return members;
  }

 protected:
  Variant Run(size_t, const CallArgs& args) override {
    // msoControlButton is 1; the test host offers buttons only.
    if (args.Has(0) && args.LongAt(0) != 1) host::Raise(host::kErrHost, "只模拟按钮");
    ++log_.buttons;
    return Hand(static_cast<TestObject*>(new TestBarButton(log_, counts_, args.Has(4) && args.BoolAt(4))));
  }

 private:
  CommandBarLog& log_;
  CallCounts& counts_;
};

class TestCommandBar final : public TestObject {
 public:
  TestCommandBar(CommandBarLog& log, CallCounts& counts)
      : TestObject(counts, L"CommandBar", Members()), log_(log), counts_(counts) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Visible", {}}, {L"Controls", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    if (member == 0) {
      if (args.IsPut()) return log_.barVisible = args.PutValue().Bool(), Variant();
      return Variant::Bool(log_.barVisible);
    }
    return Hand(new TestBarControls(log_, counts_));
  }

 private:
  CommandBarLog& log_;
  CallCounts& counts_;
};

class TestCommandBars final : public TestObject {
 public:
  TestCommandBars(CommandBarLog& log, CallCounts& counts)
      : TestObject(counts, L"CommandBars", Members()), log_(log), counts_(counts) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Add", {L"Name", L"Position", L"MenuBar", L"Temporary"}}};
    return members;
  }

 protected:
  Variant Run(size_t, const CallArgs& args) override {
    log_.bars.push_back(args.Has(0) ? Utf8ToWide(args.TextAt(0)) : std::wstring());
    return Hand(new TestCommandBar(log_, counts_));
  }

 private:
  CommandBarLog& log_;
  CallCounts& counts_;
};

}  // namespace

IDispatch* MakeCommandBars(CommandBarLog& log, CallCounts& counts) { return new TestCommandBars(log, counts); }

void ClickBarButton(CommandBarLog& log) {
  for (const ComPtr<IDispatch>& sink : std::vector<ComPtr<IDispatch>>(log.sinks)) {
    if (!sink) continue;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[2];  // last argument first: CancelDefault by reference, then Ctrl
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = nullptr;
    DISPPARAMS params{args, nullptr, 2, 0};
    sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
}

}  // namespace fenban::automation::testing
