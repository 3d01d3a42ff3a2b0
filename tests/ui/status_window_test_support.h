#pragma once
// What the tests of the status window share: a handler that records what the
// window tells the program, the window started as the program starts it, and a
// message pump that waits for a condition.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/status_window_win32.h"

namespace tovira::window_test {

class RecordingHandler final : public StatusWindowHandler {
 public:
  void OnLoad() override { ++loads; }
  void OnRefreshChosen() override {}
  void OnDeviceChosen(int index, const std::wstring& name) override {
    chosen.push_back(std::to_wstring(index) + L":" + name);
  }
  void OnClosing(bool sessionEnds) override { closings.push_back(sessionEnds); }
  void OnResumed() override {}
  void OnDeviceArrived() override {}

  int loads = 0;
  std::vector<std::wstring> chosen;  // "index:name"
  std::vector<bool> closings;        // whether the session ends, per closing
};

// The window in the tray and minimized, as the program starts it, with the log
// panel in the log mode; its load not yet run. Null when it cannot be built.
std::unique_ptr<StatusWindow> StartWindow(StatusWindowHandler& handler, bool logMode);
// The same once its load has run (null when it never did).
std::unique_ptr<StatusWindow> StartLoadedWindow(RecordingHandler& handler, bool logMode);
// Closes the window as the system does; false unless it has gone.
bool CloseWindow(HWND window);

// Runs the thread's messages until `done` holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

std::wstring Text(HWND control);

}  // namespace tovira::window_test
