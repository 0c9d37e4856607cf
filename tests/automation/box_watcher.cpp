#include "automation/box_watcher.h"

#include <algorithm>

namespace fenban::wintest {

namespace {

struct Search {
  DWORD process;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[32] = {};
  GetClassNameW(window, className, 32);
  // A dialog with a list box is a form of our own, not a message box.
  if (process == search->process && std::wstring(className) == L"#32770" && IsWindowVisible(window) &&
      FindWindowExW(window, nullptr, L"ListBox", nullptr) == nullptr) {
    search->found.push_back(window);
  }
  return TRUE;
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[2048] = {};
  GetWindowTextW(window, buffer, 2048);
  return buffer;
}

}  // namespace

BoxWatcher::BoxWatcher() {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BoxWatcher::~BoxWatcher() {
  InterlockedExchange(&stop_, 1);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  DeleteCriticalSection(&lock_);
}

std::vector<SeenBox> BoxWatcher::Boxes() {
  EnterCriticalSection(&lock_);
  std::vector<SeenBox> copy = boxes_;
  LeaveCriticalSection(&lock_);
  return copy;
}

DWORD WINAPI BoxWatcher::Run(void* self) {
  static_cast<BoxWatcher*>(self)->Watch();
  return 0;
}

void BoxWatcher::Watch() {
  while (InterlockedCompareExchange(&stop_, 0, 0) == 0) {
    Search search{GetCurrentProcessId(), {}};
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.found) {
      EnterCriticalSection(&lock_);
      const bool known = std::find(closed_.begin(), closed_.end(), box) != closed_.end();
      if (!known) {
        // The prompt is the static control 0xFFFF of the box.
        HWND prompt = GetDlgItem(box, 0xFFFF);
        boxes_.push_back({TextOf(box), prompt ? TextOf(prompt) : std::wstring(), GetWindow(box, GW_OWNER)});
        closed_.push_back(box);
      }
      LeaveCriticalSection(&lock_);
      if (!known) PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    Sleep(20);
  }
}

}  // namespace fenban::wintest
