#pragma once
// A steady clock with a pause that a stop cuts short: real in the program,
// virtual in the core's tests.

#include <chrono>

#include "link/stop_signal.h"

namespace tovira {

class LinkClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~LinkClock() = default;
  virtual TimePoint Now() = 0;
  // Pauses `duration`, or less once `stop` is raised.
  virtual void Pause(std::chrono::milliseconds duration, const StopSignal& stop) = 0;
  // The same, and ended early by a nudge too (one that came before is taken at once).
  virtual void PauseUntilNudged(std::chrono::milliseconds duration, const StopSignal& stop) = 0;
};

class SteadyLinkClock final : public LinkClock {
 public:
  TimePoint Now() override;
  void Pause(std::chrono::milliseconds duration, const StopSignal& stop) override;
  void PauseUntilNudged(std::chrono::milliseconds duration, const StopSignal& stop) override;
};

}  // namespace tovira
