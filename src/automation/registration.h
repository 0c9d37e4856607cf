// Registry keys of the server: the classes myfb and the add-in, their ProgIDs,
// the type library and interface, the hosts' add-in keys,
// machine-wide (HKEY_LOCAL_MACHINE\Software\Classes) or for the current user
// (HKEY_CURRENT_USER\Software\Classes).
#pragma once

#include <windows.h>

#include <array>
#include <string>

namespace fenban::automation {

// The keys under which Excel and WPS Spreadsheets list the COM add-ins they
// load (one subkey per ProgID with FriendlyName, Description, LoadBehavior),
// below HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
std::array<std::wstring, 2> HostAddinKeys();

enum class RegistrationScope { Machine, User };

// "user" (any letter case, surrounding spaces ignored) means User; anything else Machine.
RegistrationScope ScopeFromCommandLine(const wchar_t* commandLine);
HRESULT RegisterServer(RegistrationScope scope);
// Removes what RegisterServer wrote; keys already absent are not an error.
HRESULT UnregisterServer(RegistrationScope scope);

}  // namespace fenban::automation
