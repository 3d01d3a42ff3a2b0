#include "app/profile_store_win32.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "base/scoped_handle_win32.h"

namespace tovira {
namespace {

// The profile writer creates a missing file in the ANSI code page, where
// Japanese device names turn into "?". A file that starts with a UTF-16LE
// byte-order mark stays UTF-16LE.
void CreateUnicodeFileIfMissing(const std::wstring& path) {
  UniqueHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;  // exists already, or cannot be made: the write decides
  const unsigned char bom[] = {0xFF, 0xFE};
  DWORD written = 0;
  ::WriteFile(file.get(), bom, sizeof bom, &written, nullptr);
}

// The profile functions stop at MAX_PATH. A longer settings path goes through
// its folder's short (8.3) name when the volume has one; otherwise the long path
// is kept and the functions fail as they would on any unreadable file.
std::wstring ProfileFunctionPath(const std::wstring& path) {
  if (path.size() < MAX_PATH) return path;
  const std::size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return path;
  const std::wstring folder = L"\\\\?\\" + path.substr(0, slash);
  const DWORD needed = ::GetShortPathNameW(folder.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::wstring shortFolder(needed, L'\0');
  const DWORD length = ::GetShortPathNameW(folder.c_str(), shortFolder.data(), needed);
  if (length == 0 || length >= needed) return path;
  shortFolder.resize(length);
  if (shortFolder.rfind(L"\\\\?\\", 0) == 0) shortFolder.erase(0, 4);
  const std::wstring shortPath = shortFolder + path.substr(slash);
  return shortPath.size() < MAX_PATH ? shortPath : path;
}

}  // namespace

Win32ProfileStore::Win32ProfileStore(std::wstring path)
    : path_(std::move(path)), functionPath_(ProfileFunctionPath(path_)) {}

std::wstring Win32ProfileStore::ReadText(std::wstring_view section, std::wstring_view key,
                                         std::wstring_view fallback, std::size_t bufferUnits) {
  std::vector<wchar_t> buffer(bufferUnits, L'\0');
  const std::wstring sectionText(section), keyText(key), fallbackText(fallback);
  const DWORD copied =
      ::GetPrivateProfileStringW(sectionText.c_str(), keyText.c_str(), fallbackText.c_str(), buffer.data(),
                                 static_cast<DWORD>(bufferUnits), functionPath_.c_str());
  return std::wstring(buffer.data(), copied);
}

int Win32ProfileStore::ReadNumber(std::wstring_view section, std::wstring_view key, int fallback) {
  const std::wstring sectionText(section), keyText(key);
  return static_cast<int>(
      ::GetPrivateProfileIntW(sectionText.c_str(), keyText.c_str(), fallback, functionPath_.c_str()));
}

void Win32ProfileStore::WriteText(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  CreateUnicodeFileIfMissing(functionPath_);
  const std::wstring sectionText(section), keyText(key), valueText(value);
  ::WritePrivateProfileStringW(sectionText.c_str(), keyText.c_str(), valueText.c_str(),
                               functionPath_.c_str());
}

namespace {

// `known`'s "\brelkin\Tovira", created with its parents when missing.
std::wstring PrepareProgramFolder(const KNOWNFOLDERID& known) {
  PWSTR base = nullptr;
  std::wstring applicationData;
  if (SUCCEEDED(::SHGetKnownFolderPath(known, 0, nullptr, &base)) && base != nullptr) {
    applicationData = base;
  }
  ::CoTaskMemFree(base);
  std::wstring folder = SettingsFolder(applicationData);
  if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  }
  return folder;
}

}  // namespace

std::wstring PrepareSettingsFolder() {
  return PrepareProgramFolder(FOLDERID_RoamingAppData);
}

std::wstring PrepareSupportLogFolder() {
  return PrepareProgramFolder(FOLDERID_LocalAppData);
}

}  // namespace tovira
