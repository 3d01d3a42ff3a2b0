#pragma once
// The modal dialog that tells what the program is.

#include <windows.h>

#include <string>

namespace tovira {

class VersionDialog {
 public:
  // Shows a new dialog modally over `owner`, naming the target mode by
  // `modeLabel`; returns when it is closed.
  static void ShowModal(HINSTANCE instance, HWND owner, const std::wstring& modeLabel);
};

// The program's own version information: one string of its first language.
std::wstring ProgramVersionString(const wchar_t* name);

}  // namespace tovira
