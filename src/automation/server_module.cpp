// The DLL's module handle and its lock count.
#include "automation/server_module.h"

#include <atomic>
#include <vector>

#include "automation/server_identity.h"

namespace fenban::automation {

namespace {

// The process-wide state COM requires of an in-process server: which module
// we are, and how many objects and locks keep it loaded.
HMODULE module_ = nullptr;
std::atomic<long> locks_{0};

}  // namespace

HMODULE ServerModule() { return module_; }
void SetServerModule(HMODULE module) { module_ = module; }

std::wstring ServerPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(module_, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

void LockServer() { ++locks_; }
void UnlockServer() { --locks_; }
bool ServerInUse() { return locks_.load() > 0; }

ITypeInfo* LoadInterfaceTypeInfo() {
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(ServerPath().c_str(), REGKIND_NONE, &library))) return nullptr;
  ITypeInfo* info = nullptr;
  const HRESULT hr = library->GetTypeInfoOfGuid(kInterfaceId, &info);
  library->Release();
  return SUCCEEDED(hr) ? info : nullptr;
}

}  // namespace fenban::automation
