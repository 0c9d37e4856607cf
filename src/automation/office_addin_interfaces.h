// The interfaces an Office host (Excel, WPS) uses to load a COM add-in and to
// ask it for its ribbon, declared by hand with their published IIDs and
// vtable order (Office's MSADDNDR.DLL type library "AddInDesignerObjects"
// and the Office type library MSO.DLL).
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace fenban::automation {

// ext_ConnectMode and ext_DisconnectMode of IDTExtensibility2.
enum AddInConnectMode : int {
  kConnectAfterStartup = 0,
  kConnectStartup = 1,
  kConnectExternal = 2,
  kConnectCommandLine = 3,
};
enum AddInDisconnectMode : int {
  kDisconnectHostShutdown = 0,
  kDisconnectUserClosed = 1,
};

// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}: IDTExtensibility2, a dual interface (DISPIDs 1 to 5).
inline constexpr IID kIidDTExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
// {000C0396-0000-0000-C000-000000000046}: IRibbonExtensibility, dual, GetCustomUI is DISPID 1.
inline constexpr IID kIidRibbonExtensibility = {0x000C0396, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {000C0395-0000-0000-C000-000000000046}: IRibbonControl, the argument of a ribbon callback.
inline constexpr IID kIidRibbonControl = {0x000C0395, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IDTExtensibility2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, AddInConnectMode mode, IDispatch* addInInst,
                                                 SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(AddInDisconnectMode mode, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

struct IRibbonExtensibility : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) = 0;
};

}  // namespace fenban::automation
