// What the worker learns, shown on the window thread, and every frame relayed.

#include "ui/log_format.h"
#include "ui/main_window_win32.h"
#include "ui/ui_texts.h"
#include "ui/window_messages_win32.h"

namespace tovira {

void FMain::ShowSwitch(int state) {
  for (int i = 0; i < 5; ++i) {
    // Each picture is repainted before the next is set.
    HWND picture = Control(static_cast<WORD>(kIdButton1 + i));
    ::InvalidateRect(picture, nullptr, TRUE);
    ::UpdateWindow(picture);
  }
  relay_->ToggleSwitch(state);
}

void FMain::ShowEnable(bool enabled) {
  tray_.SetTip(std::wstring(enabled ? texts::kTipConnected : texts::kTipNotConnected));
  tray_.SetIcon(::LoadIconW(nullptr, enabled ? IDI_APPLICATION : IDI_WARNING));
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
