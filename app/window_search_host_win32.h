#pragma once
// The search's host in the program: every call but the balloon is handed to the
// window thread, where the program (and so `app`) exists while the call runs.

#include <memory>

#include "app/switch_app_win32.h"
#include "bluetooth/device_search.h"
#include "ui/hand_off_win32.h"
#include "ui/tray_icon_win32.h"

namespace tovira {

class WindowSearchHost final : public SearchHost {
 public:
  WindowSearchHost(SwitchApp& app, std::shared_ptr<WindowHandOff> handOff, std::shared_ptr<TrayIcon> tray)
      : app_(app), handOff_(std::move(handOff)), tray_(std::move(tray)) {}

  void ShowBalloon(const std::wstring& text) override { tray_->ShowBalloon(text); }
  void ShowSearching(bool searching) override {
    handOff_->Invoke([this, searching] { app_.ShowSearching(searching); });
  }
  void StopLink() override {
    handOff_->Invoke([this] { app_.StopLink(); });
  }
  void ClearDevices() override {
    handOff_->Invoke([this] { app_.ClearDevices(); });
  }
  void AddDevice(const DeviceWithPort& device, bool selected) override {
    handOff_->Invoke([this, &device, selected] { app_.AddDevice(device, selected); });
  }
  void SetPortName(const std::wstring& port) override {
    handOff_->Invoke([this, &port] { app_.SetPortName(port); });
  }
  void StartLink() override {
    handOff_->Invoke([this] { app_.StartLink(); });
  }

 private:
  SwitchApp& app_;
  std::shared_ptr<WindowHandOff> handOff_;
  std::shared_ptr<TrayIcon> tray_;  // shared: a search left running may outlive the window
};

}  // namespace tovira
