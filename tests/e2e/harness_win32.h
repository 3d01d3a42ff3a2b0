#pragma once
// End-to-end helpers: start Tovira and other Windows programs in the test prefix,
// find their windows, wait with bounds, end them by process id.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/scoped_handle_win32.h"

namespace tovira::e2e {

// The win64 build tree as a Windows path; set once from the command line.
void SetBuildDir(std::wstring windowsPath);
std::wstring ToviraExePath(int mode);

// A host path such as /work/build maps to Wine's Z: drive.
std::wstring WindowsPathFromHost(std::string_view hostPath);

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);

class ChildProcess {
 public:
  static ChildProcess Start(const std::wstring& exePath, const std::wstring& arguments = L"");
  ChildProcess() = default;
  ChildProcess(ChildProcess&&) = default;
  ChildProcess& operator=(ChildProcess&&) = default;
  ~ChildProcess();

  bool started() const { return process_.valid(); }
  DWORD pid() const { return pid_; }
  bool Running() const;
  // The exit code, or nothing when the process still runs after `timeoutMs`.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;
  void Terminate();

 private:
  UniqueHandle process_;
  DWORD pid_ = 0;
};

// A visible or hidden top-level window of process `pid` with this title (and
// class, when given).
HWND FindTopWindow(DWORD pid, std::wstring_view title, std::wstring_view className = {});
HWND WaitForTopWindow(DWORD pid, std::wstring_view title, DWORD timeoutMs, std::wstring_view className = {});

std::wstring WindowText(HWND window);
std::wstring ClassNameOf(HWND window);
std::vector<HWND> ChildWindows(HWND parent);

}  // namespace tovira::e2e
