#include "tests/e2e/harness_win32.h"

#include <utility>

namespace tovira::e2e {
namespace {

std::wstring& BuildDir() {
  static std::wstring dir;
  return dir;
}

struct WindowQuery {
  DWORD pid;
  std::wstring_view title;
  std::wstring_view className;
  HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<WindowQuery*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != query->pid || WindowText(window) != query->title) return TRUE;
  if (!query->className.empty() && ClassNameOf(window) != query->className) return TRUE;
  query->found = window;
  return FALSE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

void SetBuildDir(std::wstring windowsPath) {
  BuildDir() = std::move(windowsPath);
}

std::wstring ToviraExePath(int mode) {
  return BuildDir() + L"\\mode" + std::to_wstring(mode) + L"\\Tovira.exe";
}

std::wstring WindowsPathFromHost(std::string_view hostPath) {
  std::wstring path;
  if (!hostPath.empty() && hostPath.front() == '/') path = L"Z:";
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, hostPath.data(), static_cast<int>(hostPath.size()), nullptr, 0);
  std::wstring converted(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, hostPath.data(), static_cast<int>(hostPath.size()), converted.data(),
                        length);
  for (wchar_t& c : converted) {
    if (c == L'/') c = L'\\';
  }
  return path + converted;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(pollMs);
  }
}

ChildProcess ChildProcess::Start(const std::wstring& exePath, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + exePath + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  ChildProcess child;
  if (!::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return child;
  }
  UniqueHandle thread(info.hThread);
  child.process_.reset(info.hProcess);
  child.pid_ = info.dwProcessId;
  return child;
}

ChildProcess::~ChildProcess() {
  Terminate();
}

bool ChildProcess::Running() const {
  return process_.valid() && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeoutMs) const {
  if (!process_.valid() || ::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process_.get(), &code);
  return code;
}

void ChildProcess::Terminate() {
  if (Running()) {
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), 5000);
  }
}

HWND FindTopWindow(DWORD pid, std::wstring_view title, std::wstring_view className) {
  WindowQuery query{pid, title, className, nullptr};
  ::EnumWindows(&MatchTopWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND WaitForTopWindow(DWORD pid, std::wstring_view title, DWORD timeoutMs, std::wstring_view className) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopWindow(pid, title, className)) != nullptr; }, timeoutMs);
  return found;
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

std::wstring ClassNameOf(HWND window) {
  wchar_t name[256] = {};
  const int length = ::GetClassNameW(window, name, 256);
  return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  ::EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

}  // namespace tovira::e2e
