// The form over IDispatch.
#include "automation/dispatch_form.h"

#include "automation/com_text.h"

namespace fenban::automation {

namespace {
// DISPIDs are cached per control: all calls of one MyFun go to one form.
std::string ControlKind(const std::string& name) { return "UF." + name; }
constexpr char kFormKind[] = "UF";
}  // namespace

Dispatch DispatchForm::Control(const std::string& name) {
  return caller_->GetObject(form_.Get(), kFormKind, Utf8ToWide(name));
}

std::string DispatchForm::Caption() { return ToText(caller_->Get(form_.Get(), kFormKind, L"Caption").Raw()); }

void DispatchForm::AddItem(const std::string& listBox, const std::string& item) {
  caller_->Call(Control(listBox).Get(), ControlKind(listBox), L"AddItem", {Variant::Text(item)});
}

int32_t DispatchForm::ListIndex(const std::string& listBox) {
  return ToValue(caller_->Get(Control(listBox).Get(), ControlKind(listBox), L"ListIndex").Raw()).ToLong();
}

std::optional<std::string> DispatchForm::ListValue(const std::string& listBox) {
  const Variant value = caller_->Get(Control(listBox).Get(), ControlKind(listBox), L"Value");
  if (IsNull(value.Raw())) return std::nullopt;
  return ToText(value.Raw());
}

host::Value DispatchForm::ControlValue(const std::string& control) {
  return ToValue(caller_->Get(Control(control).Get(), ControlKind(control), L"Value").Raw());
}

void DispatchForm::SetControlValue(const std::string& control, const host::Value& value) {
  caller_->Put(Control(control).Get(), ControlKind(control), L"Value", Variant(value));
}

void DispatchForm::MakeResizable(const std::string& caption) {
  // The wide calls find a Chinese caption whatever the system's code page.
  const std::wstring title = Utf8ToWide(caption);
  HWND window = FindWindowW(L"ThunderDFrame", title.c_str());
  if (!window) return;
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  style |= WS_THICKFRAME;
  style |= WS_MINIMIZEBOX;
  SetWindowLongPtrW(window, GWL_STYLE, style);
}

}  // namespace fenban::automation
