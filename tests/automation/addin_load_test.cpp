// The add-in loaded as a spreadsheet program loads a COM add-in, then the
// teacher's workflow driven through its dialog with window messages.
//
// The load sequence follows Microsoft's description of COM add-ins for
// Office ("Register COM add-ins", "IDTExtensibility2 interface",
// "Customizing the Office Fluent ribbon for developers"): the host reads the
// Addins key (HKEY_CURRENT_USER, then HKEY_LOCAL_MACHINE), loads every
// add-in with LoadBehavior 3 by creating its ProgID's class in process,
// calls OnConnection (application, ext_cm_Startup, its COMAddIn object, an
// empty array), asks the same object for IRibbonExtensibility and calls
// GetCustomUI("Microsoft.Excel.Workbook"), then OnAddInsUpdate and
// OnStartupComplete. A ribbon button's onAction callback is called through
// the IDispatch of that object, by name, with the IRibbonControl as its one
// argument. At exit: OnBeginShutdown, OnDisconnection(ext_dm_HostShutdown),
// the last release, and the library is freed once DllCanUnloadNow agrees.
//   addin_load_test [DLL]
//   addin_load_test --installed   (after the installer: the help document)
// FENBAN_WORKFLOW_STUDENTS (default 2000) sets the list's size;
// FENBAN_ADDIN_WORKFLOW_DUMP names a file for the workbooks' dump, which
// scripts/test-windows.sh compares with the Linux build's;
// FENBAN_DIALOG_SCREENSHOT a file for a picture of the dialog (BMP).
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation/box_watcher.h"
#include "automation/com_ptr.h"
#include "automation/com_text.h"
#include "automation/fixed_platform.h"
#include "automation/office_addin_interfaces.h"
#include "automation/ribbon_check.h"
#include "automation/test_application.h"
#include "automation/test_command_bars.h"
#include "automation/test_dispatch_object.h"
#include "automation/test_word.h"
#include "automation/variant.h"
#include "automation/win_check.h"
#include "automation/workflow_outcome.h"
#include "automation/workflow/model_dump.h"
#include "automation/workflow/teacher_workflow.h"
#include "host/errors.h"

using namespace fenban;
using namespace fenban::automation;
using namespace fenban::automation::testing;

namespace {

constexpr wchar_t kProgId[] = L"Vantrel.FenBanAddin";
constexpr wchar_t kExcelAddins[] = L"Software\\Microsoft\\Office\\Excel\\Addins";
constexpr wchar_t kSettings[] = L"Software\\Vantrel\\FenBan";

// The ProgIDs the host loads at start-up: subkeys of the Addins key with
// LoadBehavior 3, the user's first.
std::vector<std::wstring> StartupAddins() {
  std::vector<std::wstring> progIds;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kExcelAddins, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      DWORD behavior = 0, size = sizeof behavior;
      if (RegGetValueW(key, name, L"LoadBehavior", RRF_RT_REG_DWORD, nullptr, &behavior, &size) == ERROR_SUCCESS &&
          behavior == 3) {
        progIds.push_back(name);
      }
    }
    RegCloseKey(key);
  }
  return progIds;
}

// The COMAddIn object the host passes to OnConnection, and the
// IRibbonControl it passes to a callback.
class TestComAddIn final : public TestObject {
 public:
  explicit TestComAddIn(CallCounts& counts) : TestObject(counts, L"COMAddIn", Members()) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"ProgId", {}}, {L"Connect", {}}, {L"Description", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs&) override {
    if (member == 0) return Variant::Text(WideToUtf8(kProgId));
    if (member == 1) return Variant::Bool(true);
    return Variant::Text("分班");
  }
};

class TestRibbonControl final : public TestObject {
 public:
  TestRibbonControl(CallCounts& counts, std::wstring id)
      : TestObject(counts, L"IRibbonControl", Members()), id_(std::move(id)) {}
  static const std::vector<MemberInfo>& Members() {
    static const std::vector<MemberInfo> members = {{L"Id", {}}, {L"Context", {}}, {L"Tag", {}}};
    return members;
  }

 protected:
  Variant Run(size_t member, const CallArgs&) override {
    if (member == 0) return Variant::Text(WideToUtf8(id_));
    return member == 1 ? Variant() : Variant::Text("");
  }

 private:
  std::wstring id_;
};

// The host's main window (Excel's main window class), which owns the dialog.
HWND MakeHostWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"XLMAIN";
  RegisterClassW(&windowClass);
  return CreateWindowExW(0, L"XLMAIN", L"测试表格程序", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 700, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

std::vector<HWND> WindowsOf(DWORD thread) {
  std::vector<HWND> windows;
  EnumThreadWindows(thread, CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

size_t VisibleWindowsOf(DWORD thread) {
  size_t visible = 0;
  for (HWND window : WindowsOf(thread)) visible += IsWindowVisible(window) ? 1 : 0;
  return visible;
}

// The dialog titled "分班" of the host's thread, waited for up to 60 s.
HWND WaitForDialog(DWORD thread) {
  for (int i = 0; i < 600; ++i) {
    for (HWND window : WindowsOf(thread)) {
      wchar_t className[32] = {}, title[32] = {};
      GetClassNameW(window, className, 32);
      GetWindowTextW(window, title, 32);
      if (std::wstring(className) == L"#32770" && std::wstring(title) == L"分班" && IsWindowVisible(window)) {
        return window;
      }
    }
    Sleep(100);
  }
  return nullptr;
}

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// The dialog's controls by the form's names (their ids in the dialog).
int IdOf(const std::string& name) {
  static const char* const names[] = {"ltbBiao",    "txtFenBan",  "txtYouXiu", "txtJiGe",   "txtNMing",
                                      "chbXingBie", "chbZuXiao",  "chbYingJie", "chbYouHua", "cmdFenBan",
                                      "cmdTiaoBan", "cmdDel",     "cmdDengJi", "cmdHelp",   "txtJunHeng"};
  for (int i = 0; i < 15; ++i) {
    if (name == names[i]) return 1001 + i;
  }
  return 0;
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

// Writes a picture of the window as a 24-bit BMP.
void SaveScreenshot(HWND window, const wchar_t* path) {
  RECT box{};
  GetWindowRect(window, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageSize;
  FILE* out = _wfopen(path, L"wb");
  if (CHECK(out != nullptr)) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
    std::fwrite(bits, 1, imageSize, out);
    std::fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// Plays the teacher at the dialog: every event of the workflow becomes what
// a user does to raise it (a click in the list, keys typed into a box and
// the focus moved on, a click on a box or a button); what the dialog then
// shows is read back into the workflow's form.
class DialogDriver {
 public:
  DialogDriver(WorkflowWorld& world, DWORD hostThread) : world_(world), hostThread_(hostThread) {}

  static DWORD WINAPI Run(void* self) {
    static_cast<DialogDriver*>(self)->Drive();
    return 0;
  }
  HWND Dialog() const { return dialog_; }
  bool Finished() const { return finished_; }

 private:
  void Drive() {
    dialog_ = WaitForDialog(hostThread_);
    if (CHECK(dialog_ != nullptr)) {
      try {
        RunTeacherWorkflow(world_, [this](form::FormModel& form, const std::string& event) { Send(form, event); });
        finished_ = true;
      } catch (const host::RuntimeError& error) {
        std::printf("  the workflow stopped: %s\n", error.Description().c_str());
        CHECK(false);
      }
      SendMessageW(dialog_, WM_CLOSE, 0, 0);
    }
  }

  void Send(form::FormModel& form, const std::string& event) {
    std::printf("  %s\n", event.empty() ? "(empty)" : event.c_str());
    std::fflush(stdout);
    const std::string control = ControlOf(event);
    const int id = IdOf(control);
    if (control == "ltbBiao") {
      ClickListEntry(form.ltbBiao.ListIndex());
    } else if (control.rfind("txt", 0) == 0) {
      Type(id, form.ControlValue(control).ToText());
    } else if (control.rfind("chb", 0) == 0) {
      const bool wanted = form.ControlValue(control).Bool();
      const bool shown = SendMessageW(Item(dialog_, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (wanted != shown) SendMessageW(Item(dialog_, id), BM_CLICK, 0, 0);
    } else if (control.rfind("cmd", 0) == 0) {
      SendMessageW(Item(dialog_, id), BM_CLICK, 0, 0);
    }
    ReadBack(form);
    if (event == "cmdFenBanClick" && !pictured_) {
      pictured_ = true;
      if (const wchar_t* path = _wgetenv(L"FENBAN_DIALOG_SCREENSHOT")) SaveScreenshot(dialog_, path);
    }
  }

  // The control whose event this is ("" for start-up and for names no control raises).
  static std::string ControlOf(const std::string& event) {
    for (const char* ending : {"AfterUpdate", "Click", ""}) {
      const std::string suffix = ending;
      if (event.size() <= suffix.size() || event.compare(event.size() - suffix.size(), suffix.size(), suffix) != 0) {
        continue;
      }
      const std::string name = event.substr(0, event.size() - suffix.size());
      if (IdOf(name) != 0) return name;
    }
    return "";
  }

  void ClickListEntry(int32_t index) {
    HWND list = Item(dialog_, IdOf("ltbBiao"));
    RECT entry{};
    if (!CHECK(SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&entry)) !=
               LB_ERR)) {
      return;
    }
    const LPARAM at = MAKELPARAM(entry.left + 5, (entry.top + entry.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
  }

  // Focus into the box, select what it holds, type the text, focus onward.
  void Type(int id, const std::string& text) {
    HWND box = Item(dialog_, id);
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
    SendMessageW(box, EM_SETSEL, 0, -1);
    for (wchar_t c : Utf8ToWide(text)) SendMessageW(box, WM_CHAR, c, 1);
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dialog_, IdOf("ltbBiao"))), TRUE);
  }

  void ReadBack(form::FormModel& form) {
    HWND list = Item(dialog_, IdOf("ltbBiao"));
    form.ltbBiao.Clear();
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t text[512] = {};
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      form.ltbBiao.AddItem(WideToUtf8(text));
    }
    const LRESULT chosen = SendMessageW(list, LB_GETCURSEL, 0, 0);
    form.ltbBiao.SetListIndex(chosen == LB_ERR ? -1 : static_cast<int32_t>(chosen));
    for (const char* name : {"txtFenBan", "txtYouXiu", "txtJiGe", "txtNMing", "txtJunHeng"}) {
      form.SetControlValue(name, host::Value(WideToUtf8(TextOf(Item(dialog_, IdOf(name))))));
    }
    for (const char* name : {"chbXingBie", "chbZuXiao", "chbYingJie", "chbYouHua"}) {
      const bool on = SendMessageW(Item(dialog_, IdOf(name)), BM_GETCHECK, 0, 0) == BST_CHECKED;
      form.SetControlValue(name, host::Value::Boolean(on));
    }
  }

  WorkflowWorld& world_;
  DWORD hostThread_;
  HWND dialog_ = nullptr;
  bool pictured_ = false;
  volatile bool finished_ = false;
};

// The host folder the dialog uses, set for the test and put back afterwards.
class HostFolderSetting {
 public:
  explicit HostFolderSetting(std::wstring folder) {
    for (wchar_t& c : folder) c = c == L'/' ? L'\\' : c;
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, L"HostFolder", REG_SZ, folder.c_str(),
                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  }
  ~HostFolderSetting() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettings); }
  HostFolderSetting(const HostFolderSetting&) = delete;
  HostFolderSetting& operator=(const HostFolderSetting&) = delete;
};

// The callback's DISPID, found by name as the host finds it.
DISPID CallbackId(IDispatch* addin, const std::wstring& name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name.c_str())};
  CHECK_HR(addin->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  return id;
}

// The IRibbonControl's click: the callback by name through IDispatch.
HRESULT ClickButton(IDispatch* addin, CallCounts& counts, const std::wstring& callback) {
  ComPtr<IDispatch> control = ComPtr<IDispatch>::Adopt(new TestRibbonControl(counts, L"VantrelFenBanButton"));
  Variant argument = Variant::Dispatch(control.Get());
  DISPPARAMS params{&argument.Raw(), nullptr, 1, 0};
  Variant result;
  return addin->Invoke(CallbackId(addin, callback), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                       result.Out(), nullptr, nullptr);
}

WorkflowOutcome LoadAndDrive(int32_t students, const std::wstring& dllPath) {
  WorkflowOutcome outcome;
  ServerRun run(students);
  std::unique_ptr<WorkflowWorld>& world = run.world;
  wintest::BoxWatcher& watcher = run.watcher;
  HostFolderSetting folder(Utf8ToWide(kHostFolder));
  TestWorld testApp(*world->app);
  testApp.SetMacroRunning(false);
  HWND hostWindow = MakeHostWindow();
  testApp.SetWindow(hostWindow);
  CallCounts hostCounts;
  ComPtr<IDispatch> ea = ComPtr<IDispatch>::Adopt(testApp.Application());

  // Start-up: the Addins key, the class by its ProgID, OnConnection.
  const std::vector<std::wstring> progIds = StartupAddins();
  bool listed = false;
  for (const std::wstring& progId : progIds) listed = listed || progId == kProgId;
  if (!CHECK(listed)) return outcome;
  CLSID clsid{};
  CHECK_HR(CLSIDFromProgID(kProgId, &clsid), S_OK);
  ComPtr<IUnknown> object;
  CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(object.Out())),
           S_OK);
  ComPtr<IDTExtensibility2> connection;
  if (!object || !CHECK(SUCCEEDED(object->QueryInterface(kIidDTExtensibility2,
                                                         reinterpret_cast<void**>(connection.Out()))))) {
    return outcome;
  }
  CHECK(GetModuleHandleW(dllPath.c_str()) != nullptr);
  const int32_t workbooksBefore = world->app->WorkbookCount();
  ComPtr<IDispatch> addInInst = ComPtr<IDispatch>::Adopt(new TestComAddIn(hostCounts));
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  testApp.Counts().Reset();
  CHECK_HR(connection->OnConnection(ea.Get(), kConnectStartup, addInInst.Get(), &custom), S_OK);

  // The ribbon, from the same object.
  ComPtr<IRibbonExtensibility> ribbon;
  CHECK_HR(object->QueryInterface(kIidRibbonExtensibility, reinterpret_cast<void**>(ribbon.Out())), S_OK);
  std::vector<std::wstring> callbacks;
  if (ribbon) {
    BSTR ribbonId = SysAllocString(L"Microsoft.Excel.Workbook");
    BSTR xml = nullptr;
    CHECK_HR(ribbon->GetCustomUI(ribbonId, &xml), S_OK);
    const std::wstring text = xml ? std::wstring(xml, SysStringLen(xml)) : std::wstring();
    SysFreeString(ribbonId);
    SysFreeString(xml);
    callbacks = CheckRibbonXml(text);
    CHECK(text.find(L"label=\"分班\"") != std::wstring::npos);
  }
  CHECK_HR(connection->OnAddInsUpdate(&custom), S_OK);
  CHECK_HR(connection->OnStartupComplete(&custom), S_OK);

  // Nothing else happens at start-up: no call on the application, no window, no box.
  CHECK(testApp.Counts().invokes == 0 && testApp.Counts().lookups == 0);
  CHECK(world->app->WorkbookCount() == workbooksBefore);
  CHECK(VisibleWindowsOf(GetCurrentThreadId()) == 1);
  CHECK(watcher.Boxes().empty());

  // Every callback the ribbon names is found on the object's IDispatch.
  ComPtr<IDispatch> dispatch;
  CHECK_HR(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Out())), S_OK);
  if (!CHECK(callbacks.size() == 1) || !dispatch) return outcome;
  for (const std::wstring& name : callbacks) CHECK(CallbackId(dispatch.Get(), name) != DISPID_UNKNOWN);

  // The button: the callback opens the dialog, which a second thread drives
  // until it closes it.
  DialogDriver driver(*world, GetCurrentThreadId());
  HANDLE thread = CreateThread(nullptr, 0, DialogDriver::Run, &driver, 0, nullptr);
  CHECK_HR(ClickButton(dispatch.Get(), hostCounts, callbacks[0]), S_OK);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CHECK(driver.Finished());
  CHECK(driver.Dialog() != nullptr && !IsWindow(driver.Dialog()));

  // Message boxes belong to the dialog, which the host's window owns.
  for (const wintest::SeenBox& box : watcher.Boxes()) {
    std::printf("  message box: %s: %s\n", WideToUtf8(box.title).c_str(), WideToUtf8(box.text).c_str());
    CHECK(box.owner == driver.Dialog());
  }
  outcome = OutcomeOf(run);

  // Shut-down: the add-in lets go of everything and the library can go.
  CHECK_HR(connection->OnBeginShutdown(&custom), S_OK);
  CHECK_HR(connection->OnDisconnection(kDisconnectHostShutdown, &custom), S_OK);
  SafeArrayDestroy(custom);
  dispatch = ComPtr<IDispatch>();
  ribbon = ComPtr<IRibbonExtensibility>();
  connection = ComPtr<IDTExtensibility2>();
  CHECK(object.Detach()->Release() == 0);
  for (int i = 0; i < 3 && GetModuleHandleW(dllPath.c_str()); ++i) {
    CoFreeUnusedLibrariesEx(0, 0);
    Sleep(100);
  }
  CHECK(GetModuleHandleW(dllPath.c_str()) == nullptr);
  DestroyWindow(hostWindow);
  return outcome;
}

// A new add-in object by its ProgID, connected to `application` as the host does.
ComPtr<IDTExtensibility2> Connect(IDispatch* application, AddInConnectMode mode, CallCounts& counts,
                                  SAFEARRAY** custom) {
  CLSID clsid{};
  CHECK_HR(CLSIDFromProgID(kProgId, &clsid), S_OK);
  ComPtr<IDTExtensibility2> connection;
  CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidDTExtensibility2,
                            reinterpret_cast<void**>(connection.Out())),
           S_OK);
  if (!connection) return connection;
  ComPtr<IDispatch> addInInst = ComPtr<IDispatch>::Adopt(new TestComAddIn(counts));
  CHECK_HR(connection->OnConnection(application, mode, addInInst.Get(), custom), S_OK);
  return connection;
}

// What the dialog shows when it opens; then it is closed.
struct FirstLook {
  DWORD hostThread = 0;
  bool opened = false;
  std::wstring classCount;
  LRESULT listCount = -1;
};

DWORD WINAPI LookAndClose(void* param) {
  auto* look = static_cast<FirstLook*>(param);
  HWND dialog = WaitForDialog(look->hostThread);
  if (!dialog) return 0;
  look->opened = true;
  look->classCount = TextOf(Item(dialog, IdOf("txtFenBan")));
  look->listCount = SendMessageW(Item(dialog, IdOf("ltbBiao")), LB_GETCOUNT, 0, 0);
  SendMessageW(dialog, WM_CLOSE, 0, 0);
  return 0;
}

// First use on a new computer: the remembered folder holds no host
// workbook. The button makes the folder, its 数据 folder and fenban.xlsx with
// the sheets DTB, FBB, JZB, SYB and 登记表 (from a new workbook of three
// sheets, as Excel 2010 makes them), and the dialog opens on its options.
void CheckFirstUse() {
  std::printf("addin_load_test: first use, without a host workbook\n");
  auto world = MakeWorkflowWorld(20);
  TestWorld testApp(*world->app);
  testApp.SetMacroRunning(false);
  testApp.SetSheetsInNewWorkbook(3);
  const std::wstring folder = L"C:\\fenban-first-use-" + std::to_wstring(GetCurrentProcessId());
  HostFolderSetting setting(folder);
  ComPtr<IDispatch> ea = ComPtr<IDispatch>::Adopt(testApp.Application());
  CallCounts counts;
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  ComPtr<IDTExtensibility2> connection = Connect(ea.Get(), kConnectAfterStartup, counts, &custom);
  if (!connection) return;

  FirstLook look;
  look.hostThread = GetCurrentThreadId();
  HANDLE thread = CreateThread(nullptr, 0, LookAndClose, &look, 0, nullptr);
  CHECK_HR(ClickButton(connection.Get(), counts, L"OnFenBanButton"), S_OK);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  CHECK(look.opened);
  CHECK_TEXT(look.classCount, L"10");
  CHECK(look.listCount == 0);
  const DWORD dataFolder = GetFileAttributesW((folder + L"\\数据").c_str());
  CHECK(dataFolder != INVALID_FILE_ATTRIBUTES && (dataFolder & FILE_ATTRIBUTE_DIRECTORY));
  CHECK(GetFileAttributesW((folder + L"\\fenban.xlsx").c_str()) != INVALID_FILE_ATTRIBUTES);
  host::Workbook* book = world->app->FindWorkbook("fenban.xlsx");
  if (CHECK(book != nullptr)) {
    CHECK_TEXT(Utf8ToWide(book->Path()), folder);
    std::string sheets;
    for (int32_t i = 1; i <= book->SheetCount(); ++i) sheets += book->SheetAt(i).Name() + " ";
    CHECK(sheets == "DTB FBB JZB SYB 登记表 ");
    host::Worksheet* dtb = book->FindSheet("DTB");
    CHECK(dtb && dtb->CellValue(2, 3).ToLong() == 10 && dtb->CellValue(2, 6).ToLong() == 3);
    host::Worksheet* entry = book->FindSheet("登记表");
    CHECK(entry && entry->CellValue(1, 1).ToText() == "【学科名登记列】");
  }
  CHECK_HR(connection->OnDisconnection(kDisconnectUserClosed, &custom), S_OK);
  SafeArrayDestroy(custom);
  DeleteFileW((folder + L"\\fenban.xlsx").c_str());
  DeleteFileW((folder + L"\\help.doc").c_str());
  RemoveDirectoryW((folder + L"\\数据").c_str());
  RemoveDirectoryW(folder.c_str());
}

// A host without a ribbon (Excel 2003, which never asks for
// IRibbonExtensibility): once start-up is complete the add-in adds a
// temporary toolbar "分班" with one caption button, listens to its Click,
// opens the dialog on it, and at disconnection stops listening and deletes it.
void CheckCommandBar() {
  std::printf("addin_load_test: a host without a ribbon\n");
  auto world = MakeWorkflowWorld(20);
  TestWorld testApp(*world->app);
  testApp.SetMacroRunning(false);
  CallCounts counts;
  CommandBarLog log;
  ComPtr<IDispatch> bars = ComPtr<IDispatch>::Adopt(MakeCommandBars(log, counts));
  testApp.SetCommandBars(bars.Get());
  HostFolderSetting setting(Utf8ToWide(kHostFolder));
  ComPtr<IDispatch> ea = ComPtr<IDispatch>::Adopt(testApp.Application());
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  ComPtr<IDTExtensibility2> connection = Connect(ea.Get(), kConnectStartup, counts, &custom);
  if (!connection) return;
  CHECK(log.bars.empty());  // nothing before start-up is complete
  CHECK_HR(connection->OnAddInsUpdate(&custom), S_OK);
  CHECK_HR(connection->OnStartupComplete(&custom), S_OK);
  CHECK(log.bars.size() == 1 && log.bars[0] == L"分班" && log.barVisible);
  CHECK(log.buttons == 1 && log.caption == L"分班" && log.style == 2 && log.temporary);
  CHECK(log.sinks.size() == 1 && log.sinks[0]);

  FirstLook look;
  look.hostThread = GetCurrentThreadId();
  HANDLE thread = CreateThread(nullptr, 0, LookAndClose, &look, 0, nullptr);
  ClickBarButton(log);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CHECK(look.opened);

  CHECK_HR(connection->OnDisconnection(kDisconnectUserClosed, &custom), S_OK);
  SafeArrayDestroy(custom);
  CHECK(log.deleted);
  CHECK(log.sinks.size() == 1 && !log.sinks[0]);
}

struct HelpClick {
  DWORD hostThread = 0;
  bool opened = false;
};

DWORD WINAPI ClickHelpAndClose(void* param) {
  auto* click = static_cast<HelpClick*>(param);
  HWND dialog = WaitForDialog(click->hostThread);
  if (!dialog) return 0;
  click->opened = true;
  SendMessageW(Item(dialog, IdOf("cmdHelp")), BM_CLICK, 0, 0);
  SendMessageW(dialog, WM_CLOSE, 0, 0);
  return 0;
}

// The ribbon button, then 帮助 in the dialog it opens.
bool ClickHelp(IDTExtensibility2* connection, CallCounts& counts) {
  HelpClick click;
  click.hostThread = GetCurrentThreadId();
  HANDLE thread = CreateThread(nullptr, 0, ClickHelpAndClose, &click, 0, nullptr);
  CHECK_HR(ClickButton(connection, counts, L"OnFenBanButton"), S_OK);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return CHECK(click.opened);
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return bytes;
  char buffer[65536];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

// After the installer (scripts/installer_check.sh runs this in its prefix,
// with nothing else set up): the installed add-in, loaded by its ProgID,
// makes the default host folder on first use and puts the installer's
// help.doc there, so 帮助 opens a file that is there; a help.doc of an
// earlier version is replaced by the installed one the next time.
void CheckInstalledHelp() {
  std::printf("addin_load_test: the installed add-in's help document\n");
  auto world = MakeWorkflowWorld(20);
  TestWorld testApp(*world->app);
  testApp.SetMacroRunning(false);
  testApp.SetSheetsInNewWorkbook(3);
  wintest::WordLog word;
  wintest::TestWordRegistration registration(word);
  ComPtr<IDispatch> ea = ComPtr<IDispatch>::Adopt(testApp.Application());
  CallCounts counts;
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  ComPtr<IDTExtensibility2> connection = Connect(ea.Get(), kConnectAfterStartup, counts, &custom);
  if (!connection) return;

  if (ClickHelp(connection.Get(), counts)) {
    wchar_t folder[MAX_PATH] = {};
    DWORD size = sizeof folder;
    CHECK(RegGetValueW(HKEY_CURRENT_USER, kSettings, L"HostFolder", RRF_RT_REG_SZ, nullptr, folder, &size) ==
          ERROR_SUCCESS);
    const std::wstring manual = std::wstring(folder) + L"\\help.doc";
    std::printf("  host folder %s\n", WideToUtf8(folder).c_str());
    CHECK(word.calls.size() == 3 && word.calls.back() == L"open " + manual);
    const std::string installed = FileBytes(manual);
    CHECK(installed.rfind("{\\rtf1", 0) == 0);

    // A help.doc an earlier version left.
    FILE* older = _wfopen(manual.c_str(), L"wb");
    if (CHECK(older != nullptr)) {
      std::fputs("{\\rtf1 older}", older);
      std::fclose(older);
    }
    if (ClickHelp(connection.Get(), counts)) {
      CHECK(word.calls.back() == L"open " + manual);
      CHECK(FileBytes(manual) == installed);
    }
  }
  CHECK_HR(connection->OnDisconnection(kDisconnectUserClosed, &custom), S_OK);
  SafeArrayDestroy(custom);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  CoInitialize(nullptr);
  if (argc > 1 && std::wstring(argv[1]) == L"--installed") {
    CheckInstalledHelp();
    CoUninitialize();
    return fenban::wincheck::Summary("addin_load_test");
  }
  wchar_t full[MAX_PATH] = L"myfb.dll";
  if (argc > 1) GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
  const int32_t students = WorkflowStudents();
  std::printf("addin_load_test: %d students through the dialog of \"Vantrel.FenBanAddin\"\n", students);
  const WorkflowOutcome outcome = LoadAndDrive(students, full);
  CheckFirstUse();
  CheckCommandBar();
  CheckAgainstDirectRun(outcome, students, L"FENBAN_ADDIN_WORKFLOW_DUMP");
  CoUninitialize();
  return fenban::wincheck::Summary("addin_load_test");
}
