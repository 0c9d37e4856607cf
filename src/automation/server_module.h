// What the DLL knows about itself: its module handle, its path, and the
// count of live objects and server locks that decides whether it may unload.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace fenban::automation {

HMODULE ServerModule();
void SetServerModule(HMODULE module);
// The DLL's full path.
std::wstring ServerPath();

void LockServer();
void UnlockServer();
bool ServerInUse();

// The type information of _myfb from the type library in the DLL's resources,
// loaded once; null when it cannot be loaded. The caller gets its own reference.
ITypeInfo* LoadInterfaceTypeInfo();

}  // namespace fenban::automation
