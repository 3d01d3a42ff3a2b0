#include "link/link_clock.h"

namespace tovira {

LinkClock::TimePoint SteadyLinkClock::Now() {
  return std::chrono::steady_clock::now();
}

void SteadyLinkClock::Pause(std::chrono::milliseconds duration, const StopSignal& stop) {
  stop.WaitFor(duration);
}

void SteadyLinkClock::PauseUntilNudged(std::chrono::milliseconds duration, const StopSignal& stop) {
  stop.WaitForNudge(duration);
}

}  // namespace tovira
