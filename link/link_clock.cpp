#include "link/link_clock.h"

#include <thread>

namespace tovira {

LinkClock::TimePoint SteadyLinkClock::Now() {
  return std::chrono::steady_clock::now();
}

void SteadyLinkClock::Sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace tovira
