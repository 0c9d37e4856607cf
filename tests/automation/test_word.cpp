#include "test_word.h"

#include "automation/com_text.h"
#include "automation/variant.h"
#include "fake_dispatch.h"
#include "win_check.h"

namespace fenban::wintest {

namespace {

const CLSID kTestWordClass = {0x5b0a3f1e, 0x7d61, 0x4c2e, {0x9a, 0x11, 0x42, 0x6e, 0x51, 0x0c, 0x77, 0x01}};
const wchar_t kTestWordClassText[] = L"{5B0A3F1E-7D61-4C2E-9A11-426E510C7701}";

}  // namespace

HRESULT TestWordRegistration::Factory::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *out = this;
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT TestWordRegistration::Factory::CreateInstance(IUnknown*, REFIID iid, void** out) {
  WordLog* log = log_;
  ++log->instances;
  log->calls.push_back(L"new");
  FakeDispatch* word = FakeDispatch::Create();
  FakeDispatch* documents = FakeDispatch::Create();
  word->Method(L"Visible", [log](const FakeDispatch::Call& call, VARIANT*, EXCEPINFO*) {
    if (!(call.flags & DISPATCH_PROPERTYPUT)) return DISP_E_MEMBERNOTFOUND;
    log->calls.push_back(L"put Visible " + automation::Utf8ToWide(automation::ToValue(*call.named.at(L"=")).ToText()));
    return S_OK;
  });
  documents->Method(L"Open", [log](const FakeDispatch::Call& call, VARIANT*, EXCEPINFO* exception) {
    log->calls.push_back(L"open " + automation::Utf8ToWide(automation::ToText(*call.args.at(0))));
    if (log->openFails) return RaiseInto(exception, 5174, L"找不到该文件");
    return S_OK;
  });
  word->Child(L"Documents", documents);
  documents->Release();
  const HRESULT hr = word->QueryInterface(iid, out);
  word->Release();
  return hr;
}

TestWordRegistration::TestWordRegistration(WordLog& log) : factory_(log) {
  CHECK_HR(CoRegisterClassObject(kTestWordClass, &factory_, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_), S_OK);
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Word.Application\\CLSID", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kTestWordClassText), sizeof kTestWordClassText);
  RegCloseKey(key);
}

TestWordRegistration::~TestWordRegistration() {
  CoRevokeClassObject(cookie_);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Word.Application");
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Word.Application");
}

}  // namespace fenban::wintest
