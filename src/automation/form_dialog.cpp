#include "automation/form_dialog.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "automation/com_ptr.h"
#include "automation/com_text.h"
#include "automation/dialog_template.h"
#include "automation/host_application_view.h"
#include "automation/myfb_run.h"
#include "bridge/myfb.h"
#include "form/form.h"
#include "host/display_text.h"
#include "host/errors.h"

namespace fenban::automation {

namespace {

enum class Kind { List, Text, Check, Button };

struct Control {
  const char* name;
  WORD id;
  Kind kind;
  const wchar_t* text;
  // The event a click or a change raises; "" for a box the division reads
  // when it runs (no event of its own).
  const char* event;
};

// The form's controls; a text box's label has the id + 100. Controls added
// later keep the next free ids.
constexpr std::array<Control, 18> kControls = {{
    {"ltbBiao", 1001, Kind::List, L"", "ltbBiaoClick"},
    {"txtFenBan", 1002, Kind::Text, L"班级数", "txtFenBanAfterUpdate"},
    {"txtYouXiu", 1003, Kind::Text, L"优秀人数", "txtYouXiuAfterUpdate"},
    {"txtJiGe", 1004, Kind::Text, L"及格人数", "txtJiGeAfterUpdate"},
    {"txtNMing", 1005, Kind::Text, L"前N名", "txtNMingAfterUpdate"},
    {"chbXingBie", 1006, Kind::Check, L"按性别均衡", "chbXingBieAfterUpdate"},
    {"chbZuXiao", 1007, Kind::Check, L"按住校均衡", "chbZuXiaoAfterUpdate"},
    {"chbYingJie", 1008, Kind::Check, L"按应届均衡", "chbYingJieAfterUpdate"},
    {"chbYouHua", 1009, Kind::Check, L"优化均衡", "chbYouHuaAfterUpdate"},
    {"txtJunHeng", 1015, Kind::Text, L"均衡列", "txtJunHengAfterUpdate"},
    {"txtZongFenLie", 1016, Kind::Text, L"总分列", "txtZongFenLieAfterUpdate"},
    {"txtBiaoTouHang", 1017, Kind::Text, L"表头行", ""},
    {"chbSuanZongFen", 1018, Kind::Check, L"用各科成绩算总分", ""},
    {"cmdFenBan", 1010, Kind::Button, L"分班", "cmdFenBanClick"},
    {"cmdTiaoBan", 1011, Kind::Button, L"统计", "cmdTiaoBanClick"},
    {"cmdDel", 1012, Kind::Button, L"删除", "cmdDelClick"},
    {"cmdDengJi", 1013, Kind::Button, L"登记表", "cmdDengJiClick"},
    {"cmdHelp", 1014, Kind::Button, L"帮助", "cmdHelp"},
}};
constexpr WORD kListLabelId = 1100;
constexpr short kMargin = 7;

const Control* ByName(const std::string& name) {
  for (const Control& control : kControls) {
    if (name == control.name) return &control;
  }
  return nullptr;
}

const Control* ById(WORD id) {
  for (const Control& control : kControls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The dialog as the form: controls by name, as a form's code reaches them.
class DialogForm final : public form::Form {
 public:
  explicit DialogForm(HWND dialog) : dialog_(dialog) {}

  std::string Caption() override { return WideToUtf8(WindowText(dialog_)); }
  void AddItem(const std::string& listBox, const std::string& item) override {
    SendMessageW(Item(listBox, Kind::List), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(item).c_str()));
  }
  int32_t ListIndex(const std::string& listBox) override {
    const LRESULT index = SendMessageW(Item(listBox, Kind::List), LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int32_t>(index);
  }
  std::optional<std::string> ListValue(const std::string& listBox) override {
    HWND list = Item(listBox, Kind::List);
    const LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return std::nullopt;
    std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
    return WideToUtf8(text);
  }
  // A text box holds its text; a check box True or False.
  host::Value ControlValue(const std::string& control) override {
    const Control* found = ValueControl(control);
    HWND item = GetDlgItem(dialog_, found->id);
    if (found->kind == Kind::Check) return host::Value::Boolean(SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED);
    return host::Value(WideToUtf8(WindowText(item)));
  }
  void SetControlValue(const std::string& control, const host::Value& value) override {
    const Control* found = ValueControl(control);
    HWND item = GetDlgItem(dialog_, found->id);
    if (found->kind == Kind::Check) {
      const bool on = value.IsBoolean() ? value.Bool() : (value.IsNumber() && value.Number() != 0);
      SendMessageW(item, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
      return;
    }
    const std::string text = value.IsEmpty() ? std::string() : host::DisplayText(value, "General");
    SetWindowTextW(item, Utf8ToWide(text).c_str());
    // A value set by a command is no entry of the user's.
    SendMessageW(item, EM_SETMODIFY, FALSE, 0);
  }
  void MakeResizable(const std::string& caption) override {
    if (caption.empty() || caption != Caption()) return;
    LONG_PTR style = GetWindowLongPtrW(dialog_, GWL_STYLE);
    style |= WS_THICKFRAME;
    style |= WS_MINIMIZEBOX;
    SetWindowLongPtrW(dialog_, GWL_STYLE, style);
  }

 private:
  HWND Item(const std::string& name, Kind kind) {
    const Control* found = ByName(name);
    if (!found || found->kind != kind) host::Raise(host::kErrHost, "窗体上没有名为 " + name + " 的控件");
    return GetDlgItem(dialog_, found->id);
  }
  const Control* ValueControl(const std::string& name) {
    const Control* found = ByName(name);
    if (!found || (found->kind != Kind::Text && found->kind != Kind::Check)) {
      host::Raise(host::kErrHost, "窗体上没有名为 " + name + " 的控件");
    }
    return found;
  }

  HWND dialog_;
};

// What the dialog keeps while it is open: one myfb for its lifetime, as a
// form keeps one object.
struct DialogState {
  ComPtr<IDispatch> application;
  bridge::myfb core;
  HWND dialog = nullptr;
  bool busy = false;
  RECT listMargins{};  // the list box's distance from the right and bottom edges
};

void Fire(DialogState& state, const std::string& event) {
  // A message box's own loop may deliver the dialog's messages: one event at a time.
  if (state.busy) return;
  state.busy = true;
  DialogForm form(state.dialog);
  RunMyFun(state.core, state.application.Get(), form, state.dialog, event);
  state.busy = false;
}

// A text box the user changed and has not yet left updates before a button's command runs.
void CommitEntries(DialogState& state) {
  for (const Control& control : kControls) {
    if (control.kind != Kind::Text) continue;
    HWND edit = GetDlgItem(state.dialog, control.id);
    if (!SendMessageW(edit, EM_GETMODIFY, 0, 0)) continue;
    SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    if (*control.event != '\0') Fire(state, control.event);
  }
}

void OnCommand(DialogState& state, WORD id, WORD code) {
  if (id == IDCANCEL) {
    EndDialog(state.dialog, IDCANCEL);
    return;
  }
  const Control* control = ById(id);
  if (!control || state.busy || *control->event == '\0') return;
  switch (control->kind) {
    case Kind::List:
      if (code == LBN_SELCHANGE) Fire(state, control->event);
      break;
    case Kind::Text:
      if (code == EN_KILLFOCUS && SendMessageW(GetDlgItem(state.dialog, id), EM_GETMODIFY, 0, 0)) {
        SendMessageW(GetDlgItem(state.dialog, id), EM_SETMODIFY, FALSE, 0);
        Fire(state, control->event);
      }
      break;
    case Kind::Check:
      if (code == BN_CLICKED) Fire(state, control->event);
      break;
    case Kind::Button:
      if (code == BN_CLICKED) {
        CommitEntries(state);
        Fire(state, control->event);
      }
      break;
  }
}

// The list box follows the dialog's size once start-up made it resizable.
void OnSize(DialogState& state) {
  HWND list = GetDlgItem(state.dialog, 1001);
  RECT client{}, box{};
  GetClientRect(state.dialog, &client);
  GetWindowRect(list, &box);
  MapWindowPoints(nullptr, state.dialog, reinterpret_cast<POINT*>(&box), 2);
  const LONG width = client.right - state.listMargins.right - box.left;
  const LONG height = client.bottom - state.listMargins.bottom - box.top;
  if (width > 0 && height > 0) SetWindowPos(list, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<DialogState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state->dialog = dialog;
      RECT client{}, box{};
      GetClientRect(dialog, &client);
      GetWindowRect(GetDlgItem(dialog, 1001), &box);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
      state->listMargins = RECT{0, 0, client.right - box.right, client.bottom - box.bottom};
      Fire(*state, "UserFormInitialize");
      return TRUE;
    }
    case WM_COMMAND:
      if (state) OnCommand(*state, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_SIZE:
      if (state && wParam != SIZE_MINIMIZED) OnSize(*state);
      return FALSE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

// The layout in dialog units: the list on the left, the options on the
// right, the buttons along the bottom.
DialogTemplate FormTemplate() {
  constexpr short width = 296, height = 268, listWidth = 140, buttonWidth = 52, buttonHeight = 16;
  DialogTemplate layout(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, kFormDialogTitle, width,
                        height, L"Microsoft YaHei UI", 9);
  layout.AddControl(DialogClass::Static, SS_LEFT, L"学生名单（数据文件夹）", kListLabelId, kMargin, kMargin, listWidth,
                    10);
  layout.AddControl(DialogClass::ListBox, LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOINTEGRALHEIGHT,
                    L"", 1001, kMargin, 19, listWidth, height - 19 - 2 * kMargin - buttonHeight - 4);
  const short left = kMargin + listWidth + 10, labelWidth = 60, boxWidth = 50;
  short y = 19;
  for (const Control& control : kControls) {
    if (control.kind == Kind::Text) {
      // Column names take a wide box of left-aligned text; numbers a narrow one.
      const bool names = std::string_view(control.name) == "txtJunHeng";
      const short shownLabel = names ? 30 : labelWidth;
      layout.AddControl(DialogClass::Static, SS_LEFT, control.text, static_cast<WORD>(control.id + 100), left,
                        static_cast<short>(y + 2), shownLabel, 10);
      layout.AddControl(DialogClass::Edit, ES_AUTOHSCROLL | (names ? ES_LEFT : ES_RIGHT) | WS_BORDER | WS_TABSTOP, L"",
                        control.id, static_cast<short>(left + shownLabel), y,
                        static_cast<short>(labelWidth + boxWidth - shownLabel), 13);
      y = static_cast<short>(y + 18);
    } else if (control.kind == Kind::Check) {
      layout.AddControl(DialogClass::Button, BS_AUTOCHECKBOX | WS_TABSTOP, control.text, control.id, left, y,
                        labelWidth + boxWidth, 12);
      y = static_cast<short>(y + 15);
    }
  }
  short x = kMargin;
  for (const Control& control : kControls) {
    if (control.kind != Kind::Button) continue;
    layout.AddControl(DialogClass::Button, BS_PUSHBUTTON | WS_TABSTOP, control.text, control.id, x,
                      static_cast<short>(height - kMargin - buttonHeight), buttonWidth, buttonHeight);
    x = static_cast<short>(x + buttonWidth + 5);
  }
  return layout;
}

// Dialogs follow the display's scaling per monitor where Windows offers it
// (Windows 10 1703 and later); elsewhere the host's own DPI awareness holds.
class PerMonitorDpi {
 public:
  PerMonitorDpi() {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    FARPROC found = user ? GetProcAddress(user, "SetThreadDpiAwarenessContext") : nullptr;
    if (found) set_ = reinterpret_cast<SetContext>(reinterpret_cast<void*>(found));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (set_) previous_ = set_(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
  }
  ~PerMonitorDpi() {
    if (set_ && previous_) set_(previous_);
  }
  PerMonitorDpi(const PerMonitorDpi&) = delete;
  PerMonitorDpi& operator=(const PerMonitorDpi&) = delete;

 private:
  using SetContext = HANDLE(WINAPI*)(HANDLE);
  SetContext set_ = nullptr;
  HANDLE previous_ = nullptr;
};

}  // namespace

void ShowFormDialog(IDispatch* application, IDispatch* hostWorkbook, HWND owner) {
  DialogState state;
  state.application = ComPtr<IDispatch>::Adopt(MakeHostApplicationView(application, hostWorkbook));
  DialogTemplate layout = FormTemplate();
  PerMonitorDpi dpi;
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout.Get(), owner, DialogProc,
                          reinterpret_cast<LPARAM>(&state));
}

}  // namespace fenban::automation
