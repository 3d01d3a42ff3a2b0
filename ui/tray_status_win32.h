#pragma once
// What the tray icon shows of the switch: connected or not, and while connected
// with the battery low, the icon with the battery mark and a second tip line.

#include <windows.h>

#include <memory>

#include "base/scoped_handle_win32.h"
#include "ui/tray_icon_win32.h"

namespace tovira {

class TrayStatus final {
 public:
  // The icons ("hrm_enable", "hrm_disable", "hrm_low_battery") at the tray's size.
  TrayStatus(HINSTANCE instance, std::shared_ptr<TrayIcon> tray);
  TrayStatus(const TrayStatus&) = delete;
  TrayStatus& operator=(const TrayStatus&) = delete;

  // The icon into the tray, not connected, for `owner`'s messages.
  void Add(HWND owner);
  HICON connectedIcon() const { return connectedIcon_.get(); }

  void ShowConnected(bool connected);
  void ShowBatteryLow(bool low);

 private:
  void Show();

  std::shared_ptr<TrayIcon> tray_;
  bool connected_ = false;
  bool batteryLow_ = false;
  UniqueIcon connectedIcon_;
  UniqueIcon disconnectedIcon_;
  UniqueIcon lowBatteryIcon_;
};

}  // namespace tovira
