#pragma once
// The device search's synchronous hand-off to the window thread: the call is sent
// to the status window and runs there while the search waits. A window that is not
// there yet, or is gone, makes it fail, and the failure is dropped. (The switch's
// own path never hands off: the link reports through a StatusFeed.)

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>

namespace tovira {

class WindowHandOff {
 public:
  void Attach(HWND window) { window_ = window; }
  void Detach() { window_ = nullptr; }

  // Runs `call` on the window thread and waits; false when the hand-off failed.
  bool Invoke(const std::function<void()>& call);

  // The window procedure's part: runs the call that a hand-off message names,
  // only when it is one of this hand-off's own calls still waiting.
  LRESULT Run(WPARAM key, LPARAM call);

 private:
  std::atomic<HWND> window_{nullptr};
  std::mutex mutex_;
  std::set<LPARAM> waiting_;  // the calls sent and not yet returned
};

// The window thread's bounded waits serve sent messages, hand-offs among them.
class SentMessageServer {
 public:
  void ServeFor(std::chrono::milliseconds limit);
};

}  // namespace tovira
