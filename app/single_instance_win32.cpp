#include "app/single_instance_win32.h"

#include <windows.h>

#include "include/tovira_relay.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

constexpr const wchar_t* kMutexName = L"Local\\ToviraSingleInstance";
// The first copy may still be building its window when the second asks.
constexpr int kWindowLooks = 50;
constexpr DWORD kWindowLookPause = 100;

}  // namespace

SingleInstance::SingleInstance() : mutex_(::CreateMutexW(nullptr, FALSE, kMutexName)) {
  // A mutex that cannot be made at all (a name taken by another kind of object)
  // must not keep the user from the switch: then this copy runs.
  first_ = !mutex_ || ::GetLastError() != ERROR_ALREADY_EXISTS;
}

void ShowRunningCopy() {
  for (int look = 0; look < kWindowLooks; ++look) {
    HWND window = ::FindWindowW(TOVIRA_MAIN_WINDOW_CLASS_W, nullptr);
    if (window != nullptr) {
      DWORD process = 0;
      ::GetWindowThreadProcessId(window, &process);
      ::AllowSetForegroundWindow(process);  // so that it may come to the front
      ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(kCmdTest, 0), 0);
      return;
    }
    ::Sleep(kWindowLookPause);
  }
}

}  // namespace tovira
