// Watches the process for message boxes (dialog class "#32770" without a
// list box), records
// each one's title, text and owner, and closes it with OK.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fenban::wintest {

struct SeenBox {
  std::wstring title;
  std::wstring text;
  HWND owner;
};

class BoxWatcher {
 public:
  BoxWatcher();
  ~BoxWatcher();
  // The boxes seen so far.
  std::vector<SeenBox> Boxes();

 private:
  static DWORD WINAPI Run(void* self);
  void Watch();

  volatile LONG stop_ = 0;
  CRITICAL_SECTION lock_;
  std::vector<SeenBox> boxes_;
  std::vector<HWND> closed_;
  HANDLE thread_ = nullptr;
};

}  // namespace fenban::wintest
