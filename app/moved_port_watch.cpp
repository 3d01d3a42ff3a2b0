#include "app/moved_port_watch.h"

namespace tovira {

MovedPortWatch::MovedPortWatch(std::chrono::milliseconds patience, Clock clock, StartLookUp lookUp)
    : patience_(patience), clock_(std::move(clock)), lookUp_(std::move(lookUp)) {}

void MovedPortWatch::OpenFailed() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const TimePoint now = clock_();
    if (!failingSince_) failingSince_ = now;
    if (lookingUp_ || now - *failingSince_ < patience_) return;
    lookingUp_ = true;
  }
  try {
    lookUp_();
  } catch (...) {
    // Not started (no thread to be had): as a look-up that found nothing, so
    // another comes after another patience.
    LookUpEnded();
  }
}

void MovedPortWatch::Opened() {
  std::lock_guard<std::mutex> lock(mutex_);
  failingSince_.reset();
}

void MovedPortWatch::LookUpEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  lookingUp_ = false;
  // The next look-up after another patience of failures from here.
  if (failingSince_) failingSince_ = clock_();
}

}  // namespace tovira
