#include "ui/help_page_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "version.h"

namespace tovira {

std::wstring ManualLocation() {
  std::wstring setting = L"" TOVIRA_MANUAL_ADDRESS;
  if (setting.find(L"://") != std::wstring::npos) return setting;
  std::wstring path(MAX_PATH * 4, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return setting;
  path.resize(length);
  path.resize(path.find_last_of(L'\\') + 1);  // the program's folder, with its separator
  return path + setting;
}

void OpenManual() {
  const std::wstring location = ManualLocation();
  ::ShellExecuteW(nullptr, L"open", location.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tovira
