// Windows platform services.
#include "automation/windows_services.h"

#include <objbase.h>
#include <shellapi.h>

#include <cwchar>

#include "automation/com_ptr.h"
#include "automation/com_text.h"
#include "automation/dispatch_call.h"
#include "host/errors.h"

namespace fenban::automation {

namespace {

constexpr int32_t kErrFileNotFound = 53;
constexpr int32_t kErrPathNotFound = 76;
constexpr int32_t kErrCannotCreateObject = 429;

// Opens `path` with the program the system associates with its type.
void OpenWithDefaultProgram(HWND owner, const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    host::Raise(kErrFileNotFound, "文件未找到：" + WideToUtf8(path));
  }
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) {
    host::Raise(kErrCannotCreateObject, "没有能打开 " + WideToUtf8(path) + " 的文字处理程序");
  }
}

}  // namespace

int32_t WindowsServices::MsgBox(const std::string& prompt, int32_t style, const std::string& title) {
  const std::wstring text = Utf8ToWide(prompt);
  const std::wstring caption = Utf8ToWide(title);
  // The styles the commands use (0, 16, 48) are MessageBox's own flags.
  const int button = MessageBoxW(owner_, text.c_str(), caption.c_str(), static_cast<UINT>(style) | MB_SETFOREGROUND);
  return button > 0 ? button : IDOK;
}

void WindowsServices::Beep(int32_t frequency, int32_t milliseconds) {
  ::Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(milliseconds));
}

std::string WindowsServices::ShortDate() {
  wchar_t buffer[128];
  const int length = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 128);
  if (length <= 1) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return std::to_string(now.wYear) + "/" + std::to_string(now.wMonth) + "/" + std::to_string(now.wDay);
  }
  return WideToUtf8(std::wstring(buffer, static_cast<size_t>(length - 1)));
}

uint64_t WindowsServices::RandomSeed() {
  // FENBAN_SEED, a whole number, fixes the random tie order as `fenban divide
  // --seed` does: the same list and options then give the same division.
  wchar_t fixed[32];
  const DWORD length = GetEnvironmentVariableW(L"FENBAN_SEED", fixed, 32);
  if (length > 0 && length < 32) {
    wchar_t* end = nullptr;
    const unsigned long long seed = wcstoull(fixed, &end, 10);
    if (end && *end == L'\0') return seed;
  }
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t time = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return time ^ (static_cast<uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ULL);
}

std::vector<std::string> WindowsServices::ListDirectory(const std::string& folder) {
  std::wstring pattern = Utf8ToWide(folder);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) host::Raise(kErrPathNotFound, "路径未找到：" + folder);
  constexpr DWORD kNotListed = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_DEVICE;
  do {
    if ((found.dwFileAttributes & kNotListed) == 0) names.push_back(WideToUtf8(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

void WindowsServices::OpenDocument(const std::string& path) {
  const std::wstring widePath = Utf8ToWide(path);
  CLSID wordClass{};
  if (FAILED(CLSIDFromProgID(L"Word.Application", &wordClass))) {
    OpenWithDefaultProgram(owner_, widePath);
    return;
  }
  // Always a new instance; the user owns it once it is visible.
  Dispatch word;
  const HRESULT created = CoCreateInstance(wordClass, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                           IID_IDispatch, reinterpret_cast<void**>(word.Out()));
  if (FAILED(created)) {
    if (created == REGDB_E_CLASSNOTREG) {
      OpenWithDefaultProgram(owner_, widePath);
      return;
    }
    host::Raise(kErrCannotCreateObject, "ActiveX 部件不能创建对象：Word.Application");
  }
  DispIdCache names;
  DispatchCaller caller(names);
  caller.Put(word.Get(), "", L"Visible", Variant::Bool(true));
  const Dispatch documents = caller.GetObject(word.Get(), "", L"Documents");
  caller.Call(documents.Get(), "", L"Open", {Variant::Text(path)});
}

}  // namespace fenban::automation
