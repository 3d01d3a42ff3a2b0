#include "ui/hand_off_win32.h"

#include <random>

#include "ui/window_messages_win32.h"

namespace tovira {

WPARAM OwnMessageKey() {
  static const WPARAM key = [] {
    std::random_device random;
    WPARAM value = 0;
    for (std::size_t i = 0; i < sizeof(WPARAM) / sizeof(unsigned); ++i) {
      value = (value << (8 * sizeof(unsigned))) | random();
    }
    return value;
  }();
  return key;
}

bool WindowHandOff::Invoke(const std::function<void()>& call) {
  HWND window = window_.load();
  if (window == nullptr) return false;
  const auto named = reinterpret_cast<LPARAM>(&call);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.insert(named);
  }
  // A window that is gone answers 0 at once; the call itself answers 1.
  const bool ran = ::SendMessageW(window, kMsgHandOff, OwnMessageKey(), named) == 1;
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.erase(named);
  return ran;
}

LRESULT WindowHandOff::Run(WPARAM key, LPARAM call) {
  if (key != OwnMessageKey()) return 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.count(call) == 0) return 0;
  }
  try {
    (*reinterpret_cast<const std::function<void()>*>(call))();
    return 1;
  } catch (...) {
    return 0;  // an error inside a display operation reaches no further
  }
}

void SentMessageServer::ServeFor(std::chrono::milliseconds limit) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limit.count());
  MSG message;
  // Dispatches the sent messages (the hand-offs) waiting for this thread and
  // nothing else: posted input stays queued until the loop runs again.
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  const ULONGLONG now = ::GetTickCount64();
  if (now >= deadline) return;
  const DWORD woke =
      ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE, 0);
  if (woke == WAIT_OBJECT_0) ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace tovira
