#include "ui/help_page_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "base/program_path_win32.h"
#include "version.h"

namespace tovira {

std::wstring ManualLocation() {
  std::wstring setting = L"" TOVIRA_MANUAL_ADDRESS;
  if (setting.find(L"://") != std::wstring::npos) return setting;
  std::wstring path = ProgramPath();
  if (path.empty()) return setting;
  path.resize(path.find_last_of(L'\\') + 1);  // the program's folder, with its separator
  return path + setting;
}

void OpenManual() {
  const std::wstring location = ManualLocation();
  ::ShellExecuteW(nullptr, L"open", location.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tovira
