// The one entry point: myfb keeps the module state and routes form events.
#pragma once

#include <string>

#include "form/form.h"
#include "form/module_state.h"
#include "host/application.h"
#include "host/value.h"

namespace fenban::bridge {

class myfb {
 public:
  // Routes strFlag (exact, case-sensitive) to its command with alerts and
  // screen updating off; a run-time error shows one error box. Always returns Empty.
  host::Value MyFun(host::Application& EA, form::Form& UF, const std::string& strFlag);

  form::ModuleState& State() { return state_; }
  const form::ModuleState& State() const { return state_; }

 private:
  form::ModuleState state_;
};

// The error box: title "错误", stop icon, "错误[" number "]" CR description.
void ErrorBox(host::Application& app, int32_t number, const std::string& description);

}  // namespace fenban::bridge
