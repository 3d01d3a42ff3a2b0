// What the link reports, shown on the window thread: the latest of each state,
// and every log line and balloon.

#include "ui/display_scale.h"
#include "ui/log_format.h"
#include "ui/main_window_win32.h"
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

HBITMAP LoadPicture(HINSTANCE instance, std::wstring_view base, int scale) {
  const std::wstring name = PictureName(base, scale);
  return static_cast<HBITMAP>(::LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

}  // namespace

void FMain::LoadPictures() {
  FreePictures();
  const int scale = PictureScaleFor(dpi_);
  BtnOnBmp = LoadPicture(instance_, L"btn_on", scale);
  BtnOffBmp = LoadPicture(instance_, L"btn_off", scale);
  EnableBmp = LoadPicture(instance_, L"enable", scale);
  DisableBmp = LoadPicture(instance_, L"disable", scale);
  LowBatBmp = LoadPicture(instance_, L"low_bat", scale);
  decorationBmp_ = LoadPicture(instance_, L"decoration", scale);
  if (shownPictures_.empty()) {
    for (int i = 0; i < 5; ++i) SetPicture(static_cast<WORD>(kIdButton1 + i), &BtnOffBmp);
    SetPicture(kIdEnable, &DisableBmp);
    SetPicture(kIdBattery, &DisableBmp);
    SetPicture(kIdPicture, &decorationBmp_);
    return;
  }
  const auto shown = shownPictures_;  // the same pictures at the new size
  for (const auto& [id, slot] : shown) SetPicture(id, slot);
}

void FMain::FreePictures() {
  // The controls let go first, so that none paints a deleted bitmap.
  for (const auto& [id, slot] : shownPictures_) {
    ::SendMessageW(Control(id), STM_SETIMAGE, IMAGE_BITMAP, 0);
  }
  for (HBITMAP* picture : {&BtnOnBmp, &BtnOffBmp, &EnableBmp, &DisableBmp, &LowBatBmp, &decorationBmp_}) {
    if (*picture != nullptr) ::DeleteObject(*picture);
    *picture = nullptr;
  }
}

void FMain::LoadTrayIcons() {
  // The tray asks for the small icon size of the display's scaling.
  const int small = ::GetSystemMetrics(SM_CXSMICON);
  EnableIco = static_cast<HICON>(::LoadImageW(instance_, L"hrm_enable", IMAGE_ICON, small, small, 0));
  DisableIco = static_cast<HICON>(::LoadImageW(instance_, L"hrm_disable", IMAGE_ICON, small, small, 0));
}

void FMain::SetPicture(WORD id, HBITMAP* slot) {
  shownPictures_[id] = slot;
  HWND picture = Control(id);
  // Handing a static control the bitmap it already holds changes nothing on the
  // screen but costs a resize and an invalidation (about 0.3 ms under Wine, six
  // times a frame); the frame's repaints still follow.
  const auto wanted = reinterpret_cast<LPARAM>(*slot);
  if (::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0) == wanted) return;
  ::SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, wanted);
}

void FMain::ShowSwitch(int state) {
  for (int i = 0; i < 5; ++i) {
    // Each picture is repainted before the next is set.
    const WORD id = static_cast<WORD>(kIdButton1 + i);
    SetPicture(id, (state & (1 << i)) != 0 ? &BtnOnBmp : &BtnOffBmp);
    HWND picture = Control(id);
    ::InvalidateRect(picture, nullptr, TRUE);
    ::UpdateWindow(picture);
  }
  SetPicture(kIdBattery, (state & 0x80) != 0 ? &LowBatBmp : &EnableBmp);
}

void FMain::ShowEnable(bool enabled) {
  SetPicture(kIdEnable, enabled ? &EnableBmp : &DisableBmp);
  SetPicture(kIdBattery, enabled ? &EnableBmp : &DisableBmp);
  tray_->SetTip(std::wstring(enabled ? texts::kTipConnected : texts::kTipNotConnected));
  tray_->SetIcon(enabled ? EnableIco : DisableIco);
}

void FMain::OnStatusChanged() {
  const StatusChanges changes = feed_->Take();
  // The battery picture belongs to whichever came last: the frame or the port change.
  if (changes.state && !changes.stateAfterPortChange) ShowSwitch(*changes.state);
  if (changes.portOpen) ShowEnable(*changes.portOpen);
  if (changes.state && changes.stateAfterPortChange) ShowSwitch(*changes.state);
  if (changes.lines) ShowCOM(*changes.lines);
  if (!changes.log.empty()) AppendLog(changes.log);
  for (const std::wstring& text : changes.balloons) tray_->ShowBalloon(text);
}

void FMain::ShowCOM(const LineStates& lines) {
  const bool states[6] = {lines.open, lines.cd, lines.dsr, lines.dtr, lines.rts, lines.cts};
  for (std::size_t i = 0; i < 6; ++i) lampState_[i] = states[i] ? 1 : 0;
  ::SetWindowTextW(Control(kIdCOM), lines.open ? mPortName.c_str() : L"");
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void FMain::PutLog(const std::wstring& text) {
  if (!mLogMode) return;
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  AppendLog(FormatLogLine({now.wHour, now.wMinute, now.wSecond, now.wMilliseconds}, text));
}

void FMain::AppendLog(const std::wstring& lines) {
  pendingLog_ += lines;
  if (pendingLog_.size() > kLogPanelLimit) pendingLog_.erase(0, LogLinesToDrop(pendingLog_, kLogPanelKeep));
  // Under load a visible edit control takes some 25 ms per change: line by line,
  // a burst of frames would keep the window busy for seconds. Lines therefore
  // reach the panel together, at most a tenth of a second after they arrived.
  if (!logFlushPending_) logFlushPending_ = ::SetTimer(hwnd_, kLogFlushTimer, kLogFlushMs, nullptr) != 0;
  if (!logFlushPending_) FlushLog();  // no timer to be had: straight in
}

void FMain::FlushLog() {
  if (logFlushPending_) ::KillTimer(hwnd_, kLogFlushTimer);
  logFlushPending_ = false;
  if (pendingLog_.empty()) return;
  HWND log = Control(kIdLog);
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

}  // namespace tovira
