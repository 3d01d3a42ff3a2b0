#pragma once
// The synchronous hand-off from a worker to the window thread: the call is sent
// to the main window and runs there while the worker waits. A window that is not
// there yet, or is gone, makes it fail, and the failure is dropped.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "link/link_display.h"
#include "link/serial_link.h"
#include "ui/tray_icon_win32.h"

namespace tovira {

// The display operations, run on the window thread.
class StatusDisplay {
 public:
  virtual ~StatusDisplay() = default;
  virtual void ShowSwitch(int state) = 0;
  virtual void ShowEnable(bool enabled) = 0;
  virtual void ShowMsg(const std::wstring& text) = 0;
  virtual void ShowCOM(const LineStates& lines) = 0;
};

class WindowHandOff final : public LinkDisplay {
 public:
  WindowHandOff(StatusDisplay& display, std::shared_ptr<TrayBalloons> balloons)
      : display_(display), balloons_(std::move(balloons)) {}

  void Attach(HWND window) { window_ = window; }
  void Detach() { window_ = nullptr; }

  // Runs `call` on the window thread and waits; false when the hand-off failed.
  bool Invoke(const std::function<void()>& call) const;

  void ShowBalloon(const std::wstring& text) override { balloons_->Show(text); }
  void ShowMsgInv(const std::wstring& text) override;
  void ShowEnableInv(bool enabled) override;
  void ShowSwitchInv(int state) override;
  void ShowCOMInv(const LineStates& lines) override;

 private:
  // Only dereferenced inside a hand-off, on the window thread, while the window
  // (and so its owner) exists.
  StatusDisplay& display_;
  std::shared_ptr<TrayBalloons> balloons_;
  std::atomic<HWND> window_{nullptr};
};

// Runs a hand-off message on the window thread (from the window procedure).
LRESULT RunHandOff(LPARAM call);

// The window thread's bounded waits serve sent messages, hand-offs among them.
class SentMessageServer final : public HandOffServer {
 public:
  void ServeFor(std::chrono::milliseconds limit) override;
};

}  // namespace tovira
