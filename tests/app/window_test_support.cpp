#include "tests/app/window_test_support.h"

#include <shlobj.h>

namespace tovira::window_test {
namespace {

std::wstring SettingsFile() {
  PWSTR roaming = nullptr;
  ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming);
  std::wstring folder = std::wstring(roaming) + L"\\brelkin\\Tovira";
  ::CoTaskMemFree(roaming);
  ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return folder + L"\\Settings.ini";
}

}  // namespace

void WriteSettings(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values) {
  const std::wstring file = SettingsFile();
  ::DeleteFileW(file.c_str());
  for (const auto& [key, value] : values) ::WritePrivateProfileStringW(L"Settings", key, value, file.c_str());
}

std::wstring ReadSetting(const wchar_t* key) {
  wchar_t value[256] = {};
  ::GetPrivateProfileStringW(L"Settings", key, L"", value, 256, SettingsFile().c_str());
  return value;
}

}  // namespace tovira::window_test
