// The COM object of class myfb: the dual interface _myfb over one
// bridge::myfb, whose module state lives as long as the object.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>

#include "automation/vantrel_h.h"
#include "bridge/myfb.h"

namespace fenban::automation {

class MyfbObject final : public _myfb {
 public:
  MyfbObject();
  ~MyfbObject();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
  // _myfb
  HRESULT STDMETHODCALLTYPE MyFun(IDispatch** EA, IDispatch** UF, BSTR* strFlag, VARIANT* result) override;

 private:
  HRESULT Run(IDispatch* EA, IDispatch* UF, BSTR strFlag, VARIANT* result);

  std::atomic<ULONG> references_{1};
  bridge::myfb core_;
};

}  // namespace fenban::automation
