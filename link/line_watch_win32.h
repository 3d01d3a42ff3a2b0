#pragma once
// The port's line watch: a thread of its own that signals every change of the
// input lines (CD, DSR, CTS) and every failed sample, so that the link's wait
// ends at once when the switch goes. On Windows it waits for the driver's line
// events; where that wait is not honoured (Wine polls inside it every
// millisecond) or fails, it samples every 10 ms.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "base/scoped_handle_win32.h"

namespace tovira {

// What the watch's thread shares with its port. A thread stuck in its driver
// is left to end by itself and keeps this alive.
struct LineWatchState {
  LineWatchState(HANDLE watchedPort, UniqueHandle changeEvent, UniqueHandle stopEvent)
      : port(watchedPort), changed(std::move(changeEvent)), stop(std::move(stopEvent)) {}
  HANDLE port;                          // the port's handle, never closed while the watch may use it
  UniqueHandle changed;                 // auto-reset: set on a change
  UniqueHandle stop;                    // manual-reset: set when the watch is to end
  std::atomic<bool> stopping{false};    // the same for the poll, read without a call to the system
  std::atomic<bool> waitFailed{false};  // the driver's line-change wait failed on this port (stays set)
  std::mutex mutex;
  std::condition_variable endedChanged;
  bool ended = false;
};

class LineWatch {
 public:
  // Starts watching `port`; `changed` is set on every change. Throws when its
  // thread cannot start.
  LineWatch(HANDLE port, UniqueHandle changed);
  ~LineWatch();
  LineWatch(const LineWatch&) = delete;
  LineWatch& operator=(const LineWatch&) = delete;

  HANDLE changed() const { return state_->changed.get(); }
  // The driver's line-change wait failed on this port (and the watch polls since).
  bool WaitFailed() const { return state_->waitFailed; }
  // The same, true once: for the log.
  bool TakeWaitFailed() { return WaitFailed() && !std::exchange(waitFailedTold_, true); }
  // Ends the watch within `bound`; false when its thread is stuck in the driver
  // and was left behind (the port's handle must then stay open).
  bool Stop(DWORD bound);

 private:
  static std::thread Started(const std::shared_ptr<LineWatchState>& state);

  std::shared_ptr<LineWatchState> state_;
  std::thread thread_;
  bool waitFailedTold_ = false;
};

}  // namespace tovira
