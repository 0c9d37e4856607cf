// Registry keys of the server: class, ProgID, type library and interface,
// machine-wide (HKEY_LOCAL_MACHINE\Software\Classes) or for the current user
// (HKEY_CURRENT_USER\Software\Classes).
#pragma once

#include <windows.h>

namespace fenban::automation {

enum class RegistrationScope { Machine, User };

// "user" (any letter case, surrounding spaces ignored) means User; anything else Machine.
RegistrationScope ScopeFromCommandLine(const wchar_t* commandLine);
HRESULT RegisterServer(RegistrationScope scope);
// Removes what RegisterServer wrote; keys already absent are not an error.
HRESULT UnregisterServer(RegistrationScope scope);

}  // namespace fenban::automation
