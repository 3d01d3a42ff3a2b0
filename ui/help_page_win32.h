#pragma once
// What the tray menu's help command opens: the manual's address of the build
// settings (version.h), or, when that names a file, the page of that name beside
// the running program (the help page the installer puts there).

#include <string>

namespace tovira {

// The address or the full path of the manual.
std::wstring ManualLocation();

// Asks the shell to open the manual with the user's handler; failures are not
// reported (there is nothing the user could do about them from here).
void OpenManual();

}  // namespace tovira
