// The user form UF over IDispatch: its controls are reached by name as the
// form's members (UF.txtFenBan.Value, UF.ltbBiao.ListIndex, ...), as a
// form's own code reaches them late-bound.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>

#include "automation/dispatch_call.h"
#include "form/form.h"

namespace fenban::automation {

class DispatchForm : public form::Form {
 public:
  DispatchForm(IDispatch* userForm, DispatchCaller& caller) : form_(Dispatch::Share(userForm)), caller_(&caller) {}

  std::string Caption() override;
  void AddItem(const std::string& listBox, const std::string& item) override;
  int32_t ListIndex(const std::string& listBox) override;
  std::optional<std::string> ListValue(const std::string& listBox) override;
  host::Value ControlValue(const std::string& control) override;
  void SetControlValue(const std::string& control, const host::Value& value) override;
  // Finds the form's window (class "ThunderDFrame", title `caption`) and adds
  // a sizing border and a minimise button; no window, no change.
  void MakeResizable(const std::string& caption) override;

 private:
  Dispatch Control(const std::string& name);

  Dispatch form_;
  DispatchCaller* caller_;
};

}  // namespace fenban::automation
