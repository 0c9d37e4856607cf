// The test user form: an IDispatch object whose members are the division
// form's controls by name, as a form's own code reaches them.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <vector>

#include "host/value.h"
#include "test_dispatch_object.h"

namespace fenban::automation::testing {

// What the controls hold; the test sets and reads it between events.
struct FormState {
  std::string caption = "分班";
  std::vector<std::string> listItems;  // ltbBiao
  int32_t listIndex = -1;
  std::map<std::string, host::Value> values;  // text and check boxes by name
};

// A new UF object over `state` (one reference, for the caller).
IDispatch* MakeTestForm(FormState& state, CallCounts& counts);

}  // namespace fenban::automation::testing
