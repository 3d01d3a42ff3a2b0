// The window's set-up at start-up and what the link reports, shown on the window
// thread: the latest of each state, and every log line and balloon.

#include "ui/control_ids.h"
#include "ui/status_window_win32.h"

namespace tovira {

void StatusWindow::SetModeLabel(const std::wstring& label) {
  modeLabel_ = label;
  ::SetWindowTextW(Control(kIdModeLabel), label.c_str());
}

void StatusWindow::ShowLogPanel() {
  logPanel_->Show();
  feed_->SetLogging(true);
  ResizeWindow();  // twice as tall
}

void StatusWindow::StartSupportLog(std::unique_ptr<SupportLog> log) {
  const bool started = log != nullptr;
  logPanel_->StartSupportLog(std::move(log));
  if (started) feed_->SetLogging(true);
}

void StatusWindow::SetPortNotSave(bool checked) {
  ::SendMessageW(Control(kIdPortNotSave), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool StatusWindow::PortNotSave() const {
  return ::SendMessageW(Control(kIdPortNotSave), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void StatusWindow::ShowConnected(bool connected) {
  pictures_->ShowConnected(connected);
  trayStatus_->ShowConnected(connected);
}

void StatusWindow::NoteVisibility() {
  const bool shown = ::IsWindowVisible(hwnd_) != FALSE;
  if (shown == shown_) return;
  shown_ = shown;
  feed_->SetWindowShown(shown);
  if (shown) ApplyStatusNews();
}

void StatusWindow::ApplyStatusNews() {
  const StatusChanges changes = feed_->Take();
  // The battery picture belongs to whichever came last: the frame or the port change.
  if (changes.state && !changes.stateAfterPortChange) ShowSwitchState(*changes.state);
  if (changes.portOpen) ShowConnected(*changes.portOpen);
  if (changes.state && changes.stateAfterPortChange) ShowSwitchState(*changes.state);
  if (changes.lines) ShowLineStates(*changes.lines);
  if (changes.batteryLow) trayStatus_->ShowBatteryLow(*changes.batteryLow);
  if (!changes.log.empty()) logPanel_->Write(changes.log);
  for (const BalloonNote& balloon : changes.balloons) tray_->ShowBalloon(balloon.text, balloon.kind);
}

}  // namespace tovira
