// The 2-D arrays of Variants that Range.Value takes and returns.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <new>

#include "automation/variant.h"
#include "host/errors.h"

namespace fenban::automation {

// A new rows x columns array of Variants, 1-based in both dimensions.
inline SAFEARRAY* NewValueArray(int32_t rows, int32_t columns) {
  SAFEARRAYBOUND bounds[2];
  bounds[0].lLbound = 1;
  bounds[0].cElements = static_cast<ULONG>(rows);
  bounds[1].lLbound = 1;
  bounds[1].cElements = static_cast<ULONG>(columns);
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (array == nullptr) throw std::bad_alloc();
  return array;
}

// Calls `cell(row, column, value)` for each element of a Range.Value result
// whose first cell is (row1, column1): a 2-D array, or one value for one cell.
template <class F>
void ForEachCell(const VARIANT& result, int32_t row1, int32_t column1, F&& cell) {
  const VARIANT& v = Unwrap(result);
  if ((v.vt & VT_ARRAY) == 0) {
    cell(row1, column1, v);
    return;
  }
  SAFEARRAY* array = (v.vt & VT_BYREF) ? *v.pparray : v.parray;
  if (array == nullptr || SafeArrayGetDim(array) != 2 || (v.vt & VT_TYPEMASK) != VT_VARIANT) {
    host::Raise(host::kErrTypeMismatch, "Range.Value 返回的不是二维数组");
  }
  LONG rowLow = 0, rowHigh = 0, colLow = 0, colHigh = 0;
  SafeArrayGetLBound(array, 1, &rowLow);
  SafeArrayGetUBound(array, 1, &rowHigh);
  SafeArrayGetLBound(array, 2, &colLow);
  SafeArrayGetUBound(array, 2, &colHigh);
  for (LONG r = rowLow; r <= rowHigh; ++r) {
    for (LONG c = colLow; c <= colHigh; ++c) {
      LONG index[2] = {r, c};
      Variant element;
      const HRESULT hr = SafeArrayGetElement(array, index, element.Out());
      if (FAILED(hr)) RaiseComError(hr, nullptr, "Range.Value");
      cell(row1 + static_cast<int32_t>(r - rowLow), column1 + static_cast<int32_t>(c - colLow), element.Raw());
    }
  }
}

}  // namespace fenban::automation
