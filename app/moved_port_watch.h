#pragma once
// Notices a stored port that has stopped opening: after it has failed for the
// patience (about 30 s) the watch asks for one quiet look-up of the device's
// current port, and asks again only after another patience of failures. An open
// that succeeds starts it over. Safe from any thread.

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

namespace tovira {

inline constexpr std::chrono::milliseconds kMovedPortPatience{30000};

class MovedPortWatch {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Clock = std::function<TimePoint()>;
  // Starts the look-up; it must not wait for it (the link's thread calls it).
  using StartLookUp = std::function<void()>;

  MovedPortWatch(std::chrono::milliseconds patience, Clock clock, StartLookUp lookUp);

  void OpenFailed();
  void Opened();
  // The look-up has ended, whatever it found.
  void LookUpEnded();

 private:
  std::chrono::milliseconds patience_;
  Clock clock_;
  StartLookUp lookUp_;
  std::mutex mutex_;
  std::optional<TimePoint> failingSince_;
  bool lookingUp_ = false;
};

}  // namespace tovira
