// The teacher's manual help.doc that the installer puts beside the servers'
// folders (the install folder holds help.doc, x64\myfb.dll and x86\myfb.dll).
// The help button opens the copy in the host folder; the add-in keeps that
// copy the installed one, as the terminal keeps help.doc its own guide.
#pragma once

#include <string>

namespace fenban::automation {

// The installed help.doc: in the server's own folder or the one above it;
// empty when neither has one (a server registered by hand from a build folder).
std::wstring InstalledManual();

// Copies the installed help.doc into `folder` when the folder has none or
// one that differs (an earlier version's), replacing it whole. Returns
// whether it copied. Never raises: without an installed manual, or when the
// folder cannot be written (help.doc open in a word processor), the folder
// keeps what it has and the help button reports a missing file.
bool RefreshHostManual(const std::wstring& folder);

}  // namespace fenban::automation
