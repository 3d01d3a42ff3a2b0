#include "relay/relay_platform_win32.h"

#include <psapi.h>

#include <array>
#include <string>
#include <vector>

#include "relay/target_relay.h"

namespace tovira {
namespace {

constexpr DWORD kMaxProcesses = 1024;
constexpr DWORD kPathUnits = 32768;  // the longest path Windows allows

// `buffer` is the check's one buffer of the longest path: each path keeps only its own length.
std::optional<std::wstring> UpperImagePath(DWORD processId, std::vector<wchar_t>& buffer) {
  // The least access that names a process's image: granted for elevated and
  // service processes too, which a standard user could not read otherwise.
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::nullopt;  // protected, or ended meanwhile
  auto length = static_cast<DWORD>(buffer.size());
  if (!::QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &length)) return std::nullopt;
  std::wstring path(buffer.data(), length);
  ::CharUpperBuffW(path.data(), length);
  return path;
}

}  // namespace

volatile std::uint8_t* Win32RelayPlatform::OpenBlock(const std::string& name, BlockOpenFailure& failure) {
  // Opens the mapping instead when the target side created it first.
  mapping_.reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, name.c_str()));
  if (!mapping_) {
    failure = BlockOpenFailure::CreateFailed;
    return nullptr;
  }
  view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view_) {
    failure = BlockOpenFailure::MapFailed;
    mapping_.reset();
    return nullptr;
  }
  failure = BlockOpenFailure::None;
  return static_cast<volatile std::uint8_t*>(view_.get());
}

void Win32RelayPlatform::CloseBlock() {
  view_.reset();
  mapping_.reset();
}

void Win32RelayPlatform::ShowErrorBox(const std::wstring& text, const std::wstring& caption) {
  ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

std::optional<NavigatorWindow> Win32RelayPlatform::FindNavigator() {
  const std::string windowClass(kNavigatorWindowClass);
  HWND window = ::FindWindowA(windowClass.c_str(), nullptr);
  if (window == nullptr) return std::nullopt;
  return reinterpret_cast<NavigatorWindow>(window);
}

void Win32RelayPlatform::PostToNavigator(NavigatorWindow window, unsigned message, int wParam) {
  // Posted, never sent: a hung navigator cannot hold up the window thread.
  ::PostMessageW(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wParam), 0);
}

std::optional<std::vector<std::wstring>> Win32RelayPlatform::RunningImagePathsUpper() {
  std::array<DWORD, kMaxProcesses> ids{};
  DWORD bytes = 0;
  if (!::EnumProcesses(ids.data(), sizeof(ids), &bytes)) return std::nullopt;
  std::vector<std::wstring> paths;
  std::vector<wchar_t> buffer(kPathUnits);
  for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
    if (auto path = UpperImagePath(ids[i], buffer)) paths.push_back(std::move(*path));
  }
  return paths;
}

}  // namespace tovira
