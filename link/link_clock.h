#pragma once
// A steady clock with a pause: real in the program, virtual in the core's tests.

#include <chrono>

namespace tovira {

class LinkClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~LinkClock() = default;
  virtual TimePoint Now() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

class SteadyLinkClock final : public LinkClock {
 public:
  TimePoint Now() override;
  void Sleep(std::chrono::milliseconds duration) override;
};

}  // namespace tovira
