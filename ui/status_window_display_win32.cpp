// What the link reports, shown on the window thread: the latest of each state,
// and every log line and balloon.

#include <array>
#include <cwchar>

#include "ui/display_scale.h"
#include "base/log_format.h"
#include "ui/status_window_win32.h"
#include "ui/ui_texts.h"
#include "ui/window_messages_win32.h"

namespace tovira {

namespace {

// The panel keeps the newest lines: an edit control's every change costs more as
// its text grows, and the log must never slow down the frames it describes.
void DropOldestLogLines(HWND log) {
  const int length = ::GetWindowTextLengthW(log);
  if (length <= static_cast<int>(kLogPanelLimit)) return;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(log, text.data(), length + 1)));
  const std::size_t cut = LogLinesToDrop(text, kLogPanelKeep);
  if (cut == 0) return;
  ::SendMessageW(log, EM_SETSEL, 0, static_cast<LPARAM>(cut));
  ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

// "2026-12-10": the date before each line of the support log.
std::wstring DateText(const SYSTEMTIME& now) {
  wchar_t text[16] = {};
  ::swprintf(text, 16, L"%04u-%02u-%02u", static_cast<unsigned>(now.wYear), static_cast<unsigned>(now.wMonth),
             static_cast<unsigned>(now.wDay));
  return text;
}

UniqueBitmap LoadPicture(HINSTANCE instance, std::wstring_view base, int scale) {
  const std::wstring name = PictureName(base, scale);
  return UniqueBitmap(
      static_cast<HBITMAP>(::LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
}

}  // namespace

void StatusWindow::LoadPictures() {
  FreePictures();
  const int scale = PictureScaleFor(dpi_);
  pressedPicture_ = LoadPicture(instance_, L"btn_on", scale);
  releasedPicture_ = LoadPicture(instance_, L"btn_off", scale);
  connectedPicture_ = LoadPicture(instance_, L"enable", scale);
  disconnectedPicture_ = LoadPicture(instance_, L"disable", scale);
  lowBatteryPicture_ = LoadPicture(instance_, L"low_bat", scale);
  decorationPicture_ = LoadPicture(instance_, L"decoration", scale);
  if (shownPictures_.empty()) {
    for (int i = 0; i < 5; ++i) SetPicture(static_cast<WORD>(kIdButton1 + i), &releasedPicture_);
    SetPicture(kIdConnectedLamp, &disconnectedPicture_);
    SetPicture(kIdBattery, &disconnectedPicture_);
    SetPicture(kIdDecoration, &decorationPicture_);
    return;
  }
  const auto shown = shownPictures_;  // the same pictures at the new size
  for (const auto& [id, slot] : shown) SetPicture(id, slot);
}

void StatusWindow::FreePictures() {
  // The controls let go first, so that none paints a deleted bitmap.
  for (const auto& [id, slot] : shownPictures_) {
    ::SendMessageW(Control(id), STM_SETIMAGE, IMAGE_BITMAP, 0);
  }
  for (UniqueBitmap* picture : {&pressedPicture_, &releasedPicture_, &connectedPicture_,
                                &disconnectedPicture_, &lowBatteryPicture_, &decorationPicture_}) {
    picture->reset();
  }
}

void StatusWindow::LoadTrayIcons() {
  // The tray asks for the small icon size of the display's scaling.
  const int small = ::GetSystemMetrics(SM_CXSMICON);
  connectedIcon_.reset(
      static_cast<HICON>(::LoadImageW(instance_, L"hrm_enable", IMAGE_ICON, small, small, 0)));
  disconnectedIcon_.reset(
      static_cast<HICON>(::LoadImageW(instance_, L"hrm_disable", IMAGE_ICON, small, small, 0)));
  lowBatteryIcon_.reset(
      static_cast<HICON>(::LoadImageW(instance_, L"hrm_low_battery", IMAGE_ICON, small, small, 0)));
}

void StatusWindow::SetPicture(WORD id, UniqueBitmap* slot) {
  shownPictures_[id] = slot;
  HWND picture = Control(id);
  // Handing a static control the bitmap it already holds changes nothing on the
  // screen but costs a resize and an invalidation (about 0.3 ms under Wine, six
  // times a frame); the frame's repaints still follow.
  const auto wanted = reinterpret_cast<LPARAM>(slot->get());
  if (!wordsHeld_) SayPicture(id, slot);  // said only when they change: no repeated announcement
  if (::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0) == wanted) return;
  ::SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, wanted);
}

void StatusWindow::ShowSwitchState(SwitchState state) {
  const SwitchState::Buttons buttons = state.buttons();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    // Each picture is repainted before the next is set.
    const WORD id = static_cast<WORD>(kIdButton1 + i);
    SetPicture(id, buttons.test(i) ? &pressedPicture_ : &releasedPicture_);
    HWND picture = Control(id);
    ::InvalidateRect(picture, nullptr, TRUE);
    ::UpdateWindow(picture);
  }
  SetPicture(kIdBattery, state.batteryLow() ? &lowBatteryPicture_ : &connectedPicture_);
}

void StatusWindow::ShowConnected(bool enabled) {
  // Without a link no button is known to be held. The pictures pass through the
  // link's last state on the way: only where they end is said.
  wordsHeld_ = true;
  if (!enabled) ShowSwitchState(SwitchState());
  SetPicture(kIdConnectedLamp, enabled ? &connectedPicture_ : &disconnectedPicture_);
  SetPicture(kIdBattery, enabled ? &connectedPicture_ : &disconnectedPicture_);
  wordsHeld_ = false;
  for (const auto& [id, slot] : shownPictures_) SayPicture(id, slot);
  connected_ = enabled;
  ShowTip();
}

void StatusWindow::ApplyStatusNews() {
  const StatusChanges changes = feed_->Take();
  // The battery picture belongs to whichever came last: the frame or the port change.
  if (changes.state && !changes.stateAfterPortChange) ShowSwitchState(*changes.state);
  if (changes.portOpen) ShowConnected(*changes.portOpen);
  if (changes.state && changes.stateAfterPortChange) ShowSwitchState(*changes.state);
  if (changes.lines) ShowLineStates(*changes.lines);
  if (changes.batteryLow) {
    batteryLow_ = *changes.batteryLow;
    ShowTip();
  }
  if (!changes.log.empty()) WriteLog(changes.log);
  for (const BalloonNote& balloon : changes.balloons) tray_->ShowBalloon(balloon.text, balloon.kind);
}

void StatusWindow::ShowTip() {
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

void StatusWindow::ShowLineStates(const LineLamps& lines) {
  const bool states[6] = {lines.open, lines.cd, lines.dsr, lines.dtr, lines.rts, lines.cts};
  for (std::size_t i = 0; i < 6; ++i) lampState_[i] = states[i] ? 1 : 0;
  ::SetWindowTextW(Control(kIdPortName), lines.open ? portLabel_.c_str() : L"");
  SayLineStates();
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void StatusWindow::AddLogLine(const std::wstring& text) {
  if (!logPanelShown_ && !supportLog_) return;
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  WriteLog(FormatLogLine({now.wHour, now.wMinute, now.wSecond, now.wMilliseconds}, text));
}

void StatusWindow::StartSupportLog(std::unique_ptr<SupportLog> log) {
  supportLog_ = std::move(log);
  if (supportLog_) feed_->SetLogging(true);
}

void StatusWindow::WriteLog(const std::wstring& lines) {
  std::wstring shown = lines;
  if (supportLog_) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    // The support log's own word (its file cannot be renamed) shows in the panel too.
    shown +=
        supportLog_->Write(DateText(now), {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds}, lines);
  }
  if (logPanelShown_) AppendLog(shown);
}

void StatusWindow::AppendLog(const std::wstring& lines) {
  pendingLog_ += lines;
  if (pendingLog_.size() > kLogPanelLimit) pendingLog_.erase(0, LogLinesToDrop(pendingLog_, kLogPanelKeep));
  // Under load a visible edit control takes some 25 ms per change: line by line,
  // a burst of frames would keep the window busy for seconds. Lines therefore
  // reach the panel together, at most a tenth of a second after they arrived.
  if (!logFlushPending_) logFlushPending_ = ::SetTimer(hwnd_, kLogFlushTimer, kLogFlushMs, nullptr) != 0;
  if (!logFlushPending_) FlushLogPanel();  // no timer to be had: straight in
}

void StatusWindow::FlushLogPanel() {
  if (logFlushPending_) ::KillTimer(hwnd_, kLogFlushTimer);
  logFlushPending_ = false;
  if (pendingLog_.empty()) return;
  HWND log = Control(kIdLogPanel);
  // Appending scrolls the panel to its end and the caret back to its start: with
  // drawing held, that is one repaint rather than two scrolls.
  ::SendMessageW(log, WM_SETREDRAW, FALSE, 0);
  const LRESULT end = ::GetWindowTextLengthW(log);
  ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), end);
  ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pendingLog_.c_str()));
  DropOldestLogLines(log);
  ::SendMessageW(log, EM_SETSEL, 0, 0);
  ::SendMessageW(log, WM_SETREDRAW, TRUE, 0);
  ::RedrawWindow(log, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  pendingLog_.clear();
}

void StatusWindow::AskForDeviceChoice() {
  HWND note = Control(kIdSearchingNote);
  if (searchingNote_.empty()) {
    std::array<wchar_t, 128> text{};
    searchingNote_.assign(text.data(), static_cast<std::size_t>(::GetWindowTextW(note, text.data(), 128)));
  }
  ::SetWindowTextW(note, std::wstring(texts::kChooseSwitch).c_str());
  ::ShowWindow(Control(kIdRefresh), SW_HIDE);
  ::ShowWindow(note, SW_SHOW);
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::SetForegroundWindow(hwnd_);
  ::SetFocus(Control(kIdDeviceList));
}

void StatusWindow::EndDeviceChoice() {
  if (searchingNote_.empty()) return;
  HWND note = Control(kIdSearchingNote);
  ::SetWindowTextW(note, searchingNote_.c_str());
  searchingNote_.clear();
  ::ShowWindow(note, SW_HIDE);
  ::ShowWindow(Control(kIdRefresh), SW_SHOW);
}

}  // namespace tovira
