#include "automation/host_application_view.h"

#include <cwctype>
#include <memory>

#include "automation/com_text.h"
#include "automation/dispatch_host.h"
#include "automation/host_folder_setting.h"
#include "automation/untyped_dispatch.h"
#include "automation/windows_services.h"
#include "form/form_routines.h"
#include "host/application.h"
#include "host/errors.h"
#include "maintenance/host_workbook_content.h"

namespace fenban::automation {

namespace {

// A DISPID no application hands out for its own members.
constexpr DISPID kThisWorkbookId = 0x7E0F0001;
constexpr char kApplication[] = "Application";
constexpr char kWorkbook[] = "Workbook";
// Workbook.SaveAs FileFormat: xlOpenXMLWorkbook (.xlsx).
constexpr int32_t kXlsxFormat = 51;

class HostApplicationView final : public UntypedDispatch {
 public:
  HostApplicationView(IDispatch* application, IDispatch* hostWorkbook)
      : application_(Dispatch::Share(application)), hostWorkbook_(Dispatch::Share(hostWorkbook)) {}

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    if (count == 1 && _wcsicmp(names[0], L"ThisWorkbook") == 0) {
      ids[0] = kThisWorkbookId;
      return S_OK;
    }
    return application_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    if (id != kThisWorkbookId) {
      return application_->Invoke(id, iid, locale, flags, params, result, exception, argError);
    }
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (result) {
      VariantInit(result);
      result->vt = VT_DISPATCH;
      result->pdispVal = hostWorkbook_.Get();
      result->pdispVal->AddRef();
    }
    return S_OK;
  }

 private:
  Dispatch application_;
  Dispatch hostWorkbook_;
};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
  while (!text.empty() && text.back() == L'\\') text.pop_back();
  return text;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFolder(const std::wstring& folder) {
  if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return;
  host::Raise(host::kErrFile, "无法建立文件夹 " + WideToUtf8(folder));
}

// A new workbook with the host workbook's sheets, saved as `path`.
Dispatch CreateHostWorkbook(IDispatch* application, DispatchCaller& caller, const std::wstring& path) {
  Dispatch books = caller.GetObject(application, kApplication, L"Workbooks");
  Dispatch book = caller.GetObject(books.Get(), "Workbooks", L"Add");
  ComPtr<IDispatch> view = ComPtr<IDispatch>::Adopt(MakeHostApplicationView(application, book.Get()));
  WindowsServices services(nullptr);
  std::unique_ptr<host::Application> app = MakeDispatchApplication(view.Get(), services);
  host::Workbook& host = app->ThisWorkbook();
  // The new workbook's sheets (one or more, as the program is set) take the
  // names in order; missing ones are added, extra empty ones deleted.
  const char* const names[] = {"DTB", "FBB", "JZB", "SYB", "登记表"};
  host::Worksheet* last = nullptr;
  for (int32_t i = 1; i <= 5; ++i) {
    last = i <= host.SheetCount() ? &host.SheetAt(i) : &host.AddSheet(last);
    last->SetName(names[i - 1]);
  }
  while (host.SheetCount() > 5) host.SheetAt(6).Delete();
  maintenance::FillSettingsSheet(*host.FindSheet("DTB"));
  maintenance::FillEntrySheet(*host.FindSheet("登记表"));
  app->CompleteWrites();
  caller.Call(book.Get(), kWorkbook, L"SaveAs", {}, {{L"Filename", Variant::Text(WideToUtf8(path))},
                                                    {L"FileFormat", Variant::Long(kXlsxFormat)}});
  return book;
}

}  // namespace

IDispatch* MakeHostApplicationView(IDispatch* application, IDispatch* hostWorkbook) {
  return new HostApplicationView(application, hostWorkbook);
}

Dispatch OpenHostWorkbook(IDispatch* application, const std::wstring& folder) {
  DispIdCache names;
  DispatchCaller caller(names);
  Dispatch books = caller.GetObject(application, kApplication, L"Workbooks");
  const int32_t count = ToValue(caller.Get(books.Get(), "Workbooks", L"Count").Raw()).ToLong();
  for (int32_t i = 1; i <= count; ++i) {
    Dispatch book = caller.GetObject(books.Get(), "Workbooks", L"Item", {Variant::Long(i)});
    const std::wstring name = Utf8ToWide(ToText(caller.Get(book.Get(), kWorkbook, L"Name").Raw()));
    const std::wstring bookFolder = Utf8ToWide(ToText(caller.Get(book.Get(), kWorkbook, L"Path").Raw()));
    if (Lower(bookFolder) != Lower(folder)) continue;
    for (const wchar_t* hostName : kHostBookNames) {
      if (Lower(name) == Lower(hostName)) return book;
    }
  }
  for (const wchar_t* hostName : kHostBookNames) {
    const std::wstring path = folder + L"\\" + hostName;
    if (FileExists(path)) return caller.GetObject(books.Get(), "Workbooks", L"Open", {Variant::Text(WideToUtf8(path))});
  }
  MakeFolder(folder);
  MakeFolder(folder + L"\\" + Utf8ToWide(form::kDataFolderName));
  return CreateHostWorkbook(application, caller, folder + L"\\" + kHostBookNames[0]);
}

}  // namespace fenban::automation
