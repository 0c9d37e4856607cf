#include "test_form.h"

#include "host/errors.h"

namespace fenban::automation::testing {

namespace {

const std::vector<std::string>& ValueControls() {
  static const std::vector<std::string> names = {"txtFenBan",  "txtYouXiu", "txtJiGe",   "txtNMing",
                                                 "chbXingBie", "chbZuXiao", "chbYingJie", "chbYouHua",
                                                 "txtJunHeng"};
  return names;
}

class TestListBox final : public TestObject {
 public:
  TestListBox(FormState& state, CallCounts& counts) : TestObject(counts, L"ListBox", Members()), state_(state) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"AddItem", {L"Item", L"Index"}}, {L"ListIndex", {}},
                                                    {L"Value", {}},  {L"ListCount", {}},
                                                    {L"List", {L"Index"}}, {L"Clear", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    switch (member) {
      case 0: state_.listItems.push_back(args.TextAt(0)); return Variant();
      case 1:
        if (args.IsPut()) {
          const int32_t index = args.PutValue().ToLong();
          if (index < -1 || index >= static_cast<int32_t>(state_.listItems.size())) host::Raise(380, "无效的属性值");
          state_.listIndex = index;
          return Variant();
        }
        return Variant::Long(state_.listIndex);
      case 2:
        if (state_.listIndex < 0) {
          Variant null;
          null.Raw().vt = VT_NULL;
          return null;
        }
        return Variant::Text(state_.listItems[static_cast<size_t>(state_.listIndex)]);
      case 3: return Variant::Long(static_cast<int32_t>(state_.listItems.size()));
      case 4: {
        const int32_t index = args.LongAt(0);
        if (index < 0 || index >= static_cast<int32_t>(state_.listItems.size())) host::Raise(381, "无效的属性数组索引");
        return Variant::Text(state_.listItems[static_cast<size_t>(index)]);
      }
      default:
        state_.listItems.clear();
        state_.listIndex = -1;
        return Variant();
    }
  }

 private:
  FormState& state_;
};

class TestValueControl final : public TestObject {
 public:
  TestValueControl(FormState& state, CallCounts& counts, std::string name)
      : TestObject(counts, L"Control", Members()), state_(state), name_(std::move(name)) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Value", {}}};
    return members;
  }

 protected:
  Variant Run(size_t, const CallArgs& args) override {
    if (args.IsPut()) {
      state_.values[name_] = args.PutValue();
      return Variant();
    }
    return Variant(state_.values[name_]);
  }

 private:
  FormState& state_;
  std::string name_;
};

std::vector<MemberInfo> FormMembers() {
  static const std::vector<std::wstring> names = {L"txtFenBan",  L"txtYouXiu", L"txtJiGe",   L"txtNMing",
                                                  L"chbXingBie", L"chbZuXiao", L"chbYingJie", L"chbYouHua",
                                                  L"txtJunHeng"};
  std::vector<MemberInfo> members = {{L"Caption", {}}, {L"ltbBiao", {}}};
  for (const std::wstring& name : names) members.push_back({name.c_str(), {}});
  return members;
}

class TestForm final : public TestObject {
 public:
  TestForm(FormState& state, CallCounts& counts)
      : TestObject(counts, L"UserForm", Members()), state_(state), counts_(counts) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = FormMembers();
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs& args) override {
    if (member == 0) {
      if (args.IsPut()) return state_.caption = args.PutValue().ToText(), Variant();
      return Variant::Text(state_.caption);
    }
    IDispatch* control = member == 1 ? static_cast<IDispatch*>(new TestListBox(state_, counts_))
                                     : new TestValueControl(state_, counts_, ValueControls()[member - 2]);
    Variant v = Variant::Dispatch(control);
    control->Release();
    return v;
  }

 private:
  FormState& state_;
  CallCounts& counts_;
};

}  // namespace

IDispatch* MakeTestForm(FormState& state, CallCounts& counts) { return new TestForm(state, counts); }

}  // namespace fenban::automation::testing
