// The run-time error number a call raises, 0 when it raises none.
#pragma once

#include <cstdint>
#include <functional>

#include "host/errors.h"

namespace fenban::testing {

inline int32_t ErrorNumber(const std::function<void()>& call) {
  try {
    call();
  } catch (const host::RuntimeError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace fenban::testing
