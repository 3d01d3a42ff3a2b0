#include "link/stop_signal.h"

#include <utility>

namespace tovira {

void StopSignal::Raise() {
  std::lock_guard<std::mutex> lock(mutex_);
  stop_ = true;
  raised_.notify_all();
  if (wake_) wake_();
}

bool StopSignal::Raised() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stop_;
}

bool StopSignal::WaitFor(std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return raised_.wait_for(lock, limit, [this] { return stop_; });
}

void StopSignal::Nudge() {
  std::lock_guard<std::mutex> lock(mutex_);
  nudged_ = true;
  raised_.notify_all();
}

bool StopSignal::TakeNudge() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(nudged_, false);
}

void StopSignal::WaitForNudge(std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  raised_.wait_for(lock, limit, [this] { return stop_ || nudged_; });
  nudged_ = false;
}

StopSignal::Waker::Waker(const StopSignal& signal, std::function<void()> wake) : signal_(signal) {
  std::lock_guard<std::mutex> lock(signal_.mutex_);
  if (signal_.stop_) wake();
  signal_.wake_ = std::move(wake);
}

StopSignal::Waker::~Waker() {
  std::lock_guard<std::mutex> lock(signal_.mutex_);
  signal_.wake_ = nullptr;
}

}  // namespace tovira
