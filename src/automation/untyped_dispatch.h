// The IUnknown and type-information half of a small IDispatch object that
// has no type library (an event sink, a wrapper around another object):
// reference counting, QueryInterface for IUnknown, IDispatch and one
// further interface id, and no type information. Subclasses give
// GetIDsOfNames and Invoke.
#pragma once

#include <windows.h>

#include <atomic>

namespace fenban::automation {

class UntypedDispatch : public IDispatch {
 public:
  // `alsoAnswers`: an outgoing interface the object implements through
  // IDispatch alone (an event interface); IID_NULL for none.
  explicit UntypedDispatch(const IID& alsoAnswers = IID_NULL) : alsoAnswers_(alsoAnswers) {}
  virtual ~UntypedDispatch() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        (!IsEqualIID(alsoAnswers_, IID_NULL) && IsEqualIID(iid, alsoAnswers_))) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }

 private:
  std::atomic<ULONG> references_{1};
  IID alsoAnswers_;
};

}  // namespace fenban::automation
