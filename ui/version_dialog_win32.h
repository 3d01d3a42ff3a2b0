#pragma once
// FVersion: the modal dialog that tells what the program is.

#include <windows.h>

#include <string>

namespace tovira {

class FVersion {
 public:
  // The active target mode's label, set once at start-up.
  static std::wstring strName;
  // Shows a new dialog modally over `owner`; returns when it is closed.
  static void ShowModal(HINSTANCE instance, HWND owner);
};

// The program's own version information: one string of its first language.
std::wstring ProgramVersionString(const wchar_t* name);

}  // namespace tovira
