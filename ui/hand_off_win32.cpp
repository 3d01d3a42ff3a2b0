#include "ui/hand_off_win32.h"

#include "ui/window_messages_win32.h"

namespace tovira {

bool WindowHandOff::Invoke(const std::function<void()>& call) const {
  HWND window = window_.load();
  if (window == nullptr) return false;
  // A window that is gone answers 0 at once; the call itself answers 1.
  return ::SendMessageW(window, kMsgHandOff, 0, reinterpret_cast<LPARAM>(&call)) == 1;
}

void WindowHandOff::ShowMsgInv(const std::wstring& text) {
  Invoke([this, &text] { display_.ShowMsg(text); });
}

void WindowHandOff::ShowEnableInv(bool enabled) {
  Invoke([this, enabled] { display_.ShowEnable(enabled); });
}

void WindowHandOff::ShowSwitchInv(int state) {
  Invoke([this, state] { display_.ShowSwitch(state); });
}

void WindowHandOff::ShowCOMInv(const LineStates& lines) {
  Invoke([this, &lines] { display_.ShowCOM(lines); });
}

LRESULT RunHandOff(LPARAM call) {
  try {
    (*reinterpret_cast<const std::function<void()>*>(call))();
    return 1;
  } catch (...) {
    return 0;  // an error inside a display operation reaches no further
  }
}

void SentMessageServer::ServeFor(std::chrono::milliseconds limit) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limit.count());
  for (;;) {
    MSG message;
    // Dispatches the sent messages (the hand-offs) waiting for this thread and
    // nothing else: posted input stays queued until the loop runs again.
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return;
    const DWORD woke =
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE, 0);
    if (woke != WAIT_OBJECT_0) return;  // the time passed
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    return;  // a hand-off ran: let the caller look at the worker again
  }
}

}  // namespace tovira
