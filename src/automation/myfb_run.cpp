// Placeholder until the host over IDispatch lands: MyFun answers "not implemented".
#include "automation/myfb_run.h"

namespace fenban::automation {

HRESULT RunMyFun(bridge::myfb&, IDispatch*, IDispatch*, const std::string&, VARIANT* result, EXCEPINFO*) {
  VariantInit(result);
  return E_NOTIMPL;
}

}  // namespace fenban::automation
