#pragma once
// A worker's stop request: raised once, seen at once by every wait of the worker.
// A wait that the platform blocks in (the port's) registers a waker, which the
// raise calls, so that it too returns at once. A nudge (a serial port arrived)
// ends the worker's next or current attempt pause early, and nothing else.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace tovira {

class StopSignal {
 public:
  void Raise();
  bool Raised() const;
  // Waits `limit`, or less once raised; true when raised.
  bool WaitFor(std::chrono::milliseconds limit) const;

  // Remembered until a pause takes it.
  void Nudge();
  // True (once) when nudged since the last take.
  bool TakeNudge() const;
  // Waits `limit`, or less once raised or nudged (the nudge is taken).
  void WaitForNudge(std::chrono::milliseconds limit) const;

  // While it exists, a raise also calls `wake` (at once when already raised).
  class Waker {
   public:
    Waker(const StopSignal& signal, std::function<void()> wake);
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

   private:
    const StopSignal& signal_;
  };

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable raised_;
  mutable std::function<void()> wake_;  // the one wait that blocks in the platform, if any
  bool stop_ = false;
  mutable bool nudged_ = false;
};

}  // namespace tovira
