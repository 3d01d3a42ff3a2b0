#include "link/stop_signal.h"

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
