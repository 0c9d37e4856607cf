// The add-in object a spreadsheet program (Excel, WPS) loads at start-up:
// IDTExtensibility2 for the connection, IRibbonExtensibility for the ribbon,
// and IDispatch for the ribbon button's callback, which opens the form
// dialog. Connecting does nothing but keep the application.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>

#include "automation/com_ptr.h"
#include "automation/office_addin_interfaces.h"

namespace fenban::automation {

class AddinObject final : public IDTExtensibility2, public IRibbonExtensibility {
 public:
  AddinObject();
  ~AddinObject();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch (both interfaces share it): the ribbon callback by name.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
  // IDTExtensibility2
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, AddInConnectMode mode, IDispatch* addInInst,
                                         SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnDisconnection(AddInDisconnectMode mode, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;
  // IRibbonExtensibility
  HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) override;

  // Opens the form dialog on the connected application (the button's work).
  HRESULT ShowForm();

 private:
  // A host that never asked for a ribbon gets a command bar button instead,
  // once it has finished loading its add-ins.
  void AddMenuButtonIfNoRibbon();

  std::atomic<ULONG> references_{1};
  ComPtr<IDispatch> application_;
  ComPtr<IDispatch> menuButton_;
  ComPtr<IDispatch> buttonSink_;
  DWORD sinkCookie_ = 0;
  bool ribbonAsked_ = false;
  bool dialogOpen_ = false;
};

}  // namespace fenban::automation
