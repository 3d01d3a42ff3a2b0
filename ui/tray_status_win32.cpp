#include "ui/tray_status_win32.h"

#include <string>

#include "base/texts_ja.h"

namespace tovira {
namespace {

UniqueIcon LoadTrayIcon(HINSTANCE instance, const wchar_t* name) {
  // The tray asks for the small icon size of the display's scaling.
  const int small = ::GetSystemMetrics(SM_CXSMICON);
  return UniqueIcon(static_cast<HICON>(::LoadImageW(instance, name, IMAGE_ICON, small, small, 0)));
}

}  // namespace

TrayStatus::TrayStatus(HINSTANCE instance, std::shared_ptr<TrayIcon> tray)
    : tray_(std::move(tray)),
      connectedIcon_(LoadTrayIcon(instance, L"hrm_enable")),
      disconnectedIcon_(LoadTrayIcon(instance, L"hrm_disable")),
      lowBatteryIcon_(LoadTrayIcon(instance, L"hrm_low_battery")) {}

void TrayStatus::Add(HWND owner) {
  tray_->Add(owner, disconnectedIcon_.get(), std::wstring(texts::kTipNotConnected));
}

void TrayStatus::ShowConnected(bool connected) {
  connected_ = connected;
  Show();
}

void TrayStatus::ShowBatteryLow(bool low) {
  batteryLow_ = low;
  Show();
}

void TrayStatus::Show() {
  if (!connected_) {
    tray_->SetTip(std::wstring(texts::kTipNotConnected));
    tray_->SetIcon(disconnectedIcon_.get());
    return;
  }
  std::wstring tip(texts::kTipConnected);
  if (batteryLow_) tip += L"\n" + std::wstring(texts::kLowBattery);
  tray_->SetTip(tip);
  tray_->SetIcon(batteryLow_ ? lowBatteryIcon_.get() : connectedIcon_.get());
}

}  // namespace tovira
