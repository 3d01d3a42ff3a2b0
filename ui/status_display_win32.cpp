// What the worker learns, shown on the window thread, and every frame relayed.

#include "ui/log_format.h"
#include "ui/main_window_win32.h"
#include "ui/ui_texts.h"
#include "ui/window_messages_win32.h"

namespace tovira {

namespace {

HBITMAP LoadBitmapResource(HINSTANCE instance, const wchar_t* name) {
  return static_cast<HBITMAP>(::LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

}  // namespace

void FMain::LoadPictures() {
  BtnOnBmp = LoadBitmapResource(instance_, L"btn_on");
  BtnOffBmp = LoadBitmapResource(instance_, L"btn_off");
  EnableBmp = LoadBitmapResource(instance_, L"enable");
  DisableBmp = LoadBitmapResource(instance_, L"disable");
  LowBatBmp = LoadBitmapResource(instance_, L"low_bat");
  decorationBmp_ = LoadBitmapResource(instance_, L"decoration");
  // The tray asks for the small icon size of the display's scaling.
  const int small = ::GetSystemMetrics(SM_CXSMICON);
  EnableIco = static_cast<HICON>(::LoadImageW(instance_, L"hrm_enable", IMAGE_ICON, small, small, 0));
  DisableIco = static_cast<HICON>(::LoadImageW(instance_, L"hrm_disable", IMAGE_ICON, small, small, 0));
  for (int i = 0; i < 5; ++i) SetPicture(static_cast<WORD>(kIdButton1 + i), BtnOffBmp);
  SetPicture(kIdEnable, DisableBmp);
  SetPicture(kIdBattery, DisableBmp);
  SetPicture(kIdPicture, decorationBmp_);
}

void FMain::SetPicture(WORD id, HBITMAP picture) {
  ::SendMessageW(Control(id), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

void FMain::ShowSwitch(int state) {
  for (int i = 0; i < 5; ++i) {
    // Each picture is repainted before the next is set.
    const WORD id = static_cast<WORD>(kIdButton1 + i);
    SetPicture(id, (state & (1 << i)) != 0 ? BtnOnBmp : BtnOffBmp);
    HWND picture = Control(id);
    ::InvalidateRect(picture, nullptr, TRUE);
    ::UpdateWindow(picture);
  }
  SetPicture(kIdBattery, (state & 0x80) != 0 ? LowBatBmp : EnableBmp);
  relay_->ToggleSwitch(state);
}

void FMain::ShowEnable(bool enabled) {
  SetPicture(kIdEnable, enabled ? EnableBmp : DisableBmp);
  SetPicture(kIdBattery, enabled ? EnableBmp : DisableBmp);
  tray_.SetTip(std::wstring(enabled ? texts::kTipConnected : texts::kTipNotConnected));
  tray_.SetIcon(enabled ? EnableIco : DisableIco);
  relay_->ShowEnable(enabled);
}

void FMain::ShowMsg(const std::wstring& text) {
  PutLog(text);
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
  const std::wstring line = FormatLogLine({now.wHour, now.wMinute, now.wSecond, now.wMilliseconds}, text);
  HWND log = Control(kIdLog);
  const LRESULT end = ::GetWindowTextLengthW(log);
  ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), end);
  ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  ::SendMessageW(log, EM_SETSEL, 0, 0);
  ::UpdateWindow(log);
}

}  // namespace tovira
