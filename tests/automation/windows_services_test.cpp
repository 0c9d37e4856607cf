// The Windows platform services: folder listing, date, seed, message boxes
// (needs a display: the test script runs the programs on a virtual one) and
// the help document through "Word.Application".
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "automation/box_watcher.h"
#include "automation/com_ptr.h"
#include "automation/com_text.h"
#include "automation/test_word.h"
#include "automation/variant.h"
#include "automation/win_check.h"
#include "automation/windows_services.h"
#include "host/errors.h"

using namespace fenban;
using namespace fenban::automation;

namespace {

template <typename F>
int ErrorOf(F statement) {
  try {
    statement();
  } catch (const host::RuntimeError& error) {
    return error.Number();
  }
  return 0;
}

std::wstring NewFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void Touch(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, "x", 1, &written, nullptr);
  CloseHandle(file);
}

void TheDataFolderListsPlainFilesOnly() {
  const std::wstring folder = NewFolder(L"fenban-list-");
  for (const wchar_t* name : {L"a.xlsx", L"b.xls", L"说明.txt", L"名单 2.xlsx", L".~lock.a.xlsx#"}) {
    Touch(folder + L"\\" + name);
  }
  CreateDirectoryW((folder + L"\\旧名单").c_str(), nullptr);
  Touch(folder + L"\\readonly.xlsx");
  SetFileAttributesW((folder + L"\\readonly.xlsx").c_str(), FILE_ATTRIBUTE_READONLY);

  WindowsServices services(nullptr);
  std::vector<std::string> names = services.ListDirectory(WideToUtf8(folder));
  std::sort(names.begin(), names.end());
  // The lock file starts with a dot, which the file system reports as hidden.
  const std::vector<std::string> expected = {"a.xlsx", "b.xls", "readonly.xlsx", "名单 2.xlsx", "说明.txt"};
  CHECK(names == expected);
  for (const std::string& n : names) std::printf("  listed %s\n", n.c_str());
  // A trailing separator lists the same.
  CHECK(services.ListDirectory(WideToUtf8(folder) + "\\").size() == expected.size());

  CHECK(ErrorOf([&] { services.ListDirectory(WideToUtf8(folder) + "\\不存在"); }) == 76);
  const std::wstring empty = NewFolder(L"fenban-empty-");
  CHECK(services.ListDirectory(WideToUtf8(empty)).empty());
}

void DateAndSeed() {
  WindowsServices services(nullptr);
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string date = services.ShortDate();
  std::printf("  short date %s\n", date.c_str());
  CHECK(date.find(std::to_string(now.wYear)) != std::string::npos ||
        date.find(std::to_string(now.wYear % 100)) != std::string::npos);
  CHECK(date.find('\0') == std::string::npos && !date.empty());
  CHECK(services.RandomSeed() != services.RandomSeed());
  // FENBAN_SEED fixes the tie order; anything but a plain number leaves it to the clock.
  SetEnvironmentVariableW(L"FENBAN_SEED", L"12345");
  CHECK(services.RandomSeed() == 12345);
  SetEnvironmentVariableW(L"FENBAN_SEED", L"12345x");
  CHECK(services.RandomSeed() != services.RandomSeed());
  SetEnvironmentVariableW(L"FENBAN_SEED", nullptr);
}

void MessageBoxesAreOwnedByTheApplicationWindow() {
  HWND application = CreateWindowExW(0, L"STATIC", L"测试表格程序", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                     nullptr, nullptr, nullptr);
  CHECK(application != nullptr);
  wintest::BoxWatcher watcher;
  WindowsServices services(application);
  const int32_t button = services.MsgBox("数据表没有“总分”列，不能分班！", 48, "警告");
  CHECK(button == IDOK);
  services.MsgBox("应选择数据表！", 0, "提示");
  const std::vector<wintest::SeenBox> boxes = watcher.Boxes();
  CHECK(boxes.size() == 2);
  if (boxes.size() == 2) {
    CHECK_TEXT(boxes[0].title, L"警告");
    CHECK_TEXT(boxes[0].text, L"数据表没有“总分”列，不能分班！");
    CHECK(boxes[0].owner == application);
    CHECK_TEXT(boxes[1].title, L"提示");
  }
  DestroyWindow(application);
}

void HelpOpensInANewVisibleWordProcessor() {
  wintest::WordLog log;
  WindowsServices services(nullptr);
  auto word = std::make_unique<wintest::TestWordRegistration>(log);
  const std::string path = "C:\\分班\\help.doc";
  services.OpenDocument(path);
  services.OpenDocument(path);
  CHECK(log.instances == 2);  // always a new instance
  const std::wstring open = L"open " + Utf8ToWide(path);
  const std::vector<std::wstring> expected = {L"new", L"put Visible TRUE", open, L"new", L"put Visible TRUE", open};
  CHECK(log.calls == expected);

  // A document that does not open: the error reaches the caller, the
  // visible instance stays.
  log.openFails = true;
  log.calls.clear();
  CHECK(ErrorOf([&] { services.OpenDocument(path); }) == 5174);
  CHECK((log.calls == std::vector<std::wstring>{L"new", L"put Visible TRUE", open}));

  word.reset();
  // Without a word processor the default program is asked; a missing file is error 53.
  log.calls.clear();
  CHECK(ErrorOf([&] { services.OpenDocument("C:\\不存在的文件夹\\help.doc"); }) == 53);
  CHECK(log.calls.empty());
}

}  // namespace

int wmain() {
  CoInitialize(nullptr);
  TheDataFolderListsPlainFilesOnly();
  DateAndSeed();
  MessageBoxesAreOwnedByTheApplicationWindow();
  HelpOpensInANewVisibleWordProcessor();
  CoUninitialize();
  return fenban::wincheck::Summary("windows_services_test");
}
