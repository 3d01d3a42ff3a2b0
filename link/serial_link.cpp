#include "link/serial_link.h"

#include <algorithm>

namespace tovira {

struct SerialLink::Run {
  WorkerFlags flags;
  std::atomic<bool> ended{false};
  std::shared_ptr<Run> predecessor;
};

SerialLink::SerialLink(SerialLinkParts parts)
    : parts_(std::move(parts)), memory_(std::make_shared<LineMemory>()) {}

SerialLink::~SerialLink() {
  if (current_) current_->flags.running = false;
  ReleaseThread();
}

void SerialLink::ReleaseThread() {
  if (!thread_.joinable()) return;
  // A worker still blocked (in an open, say) is left to end by itself; it owns
  // what it uses, and its hand-offs fail once the window is gone.
  if (current_ && current_->ended.load()) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

void SerialLink::Start(const std::wstring& portName, const std::wstring& deviceName) {
  auto run = std::make_shared<Run>();
  run->flags.appEnding = parts_.appEnding.get();
  if (current_ && !current_->ended.load()) run->predecessor = current_;
  ReleaseThread();
  current_ = run;
  thread_ =
      std::thread(&SerialLink::Body, run, parts_, memory_, WorkerSetup{parts_.mode, portName, deviceName});
}

void SerialLink::Body(const std::shared_ptr<Run>& run, const SerialLinkParts& parts,
                      const std::shared_ptr<LineMemory>& memory, WorkerSetup setup) {
  try {
    // Never beside a predecessor that is still blocked.
    while (run->predecessor && !run->predecessor->ended.load()) {
      if (!run->flags.ShouldRun()) {
        run->ended = true;
        return;
      }
      parts.clock->Sleep(std::chrono::milliseconds(10));
    }
    run->predecessor.reset();
    SerialWorker worker(std::move(setup), run->flags, *memory, *parts.opener, *parts.clock, *parts.display);
    worker.Run();
  } catch (...) {
    // Nothing may cross the thread's entry; the worker simply ends.
  }
  run->ended = true;
}

bool SerialLink::Stop(HandOffServer& server) {
  if (!current_) return true;
  current_->flags.running = false;
  for (int check = 0; check < kStopPolls && !current_->ended.load(); ++check) {
    // Hand-offs served during the pause may end the worker early; the bound stays.
    const auto until = parts_.clock->Now() + kStopPoll;
    while (!current_->ended.load()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - parts_.clock->Now());
      if (left.count() <= 0) break;
      server.ServeFor(std::min(left, kStopPoll));
    }
  }
  return current_->ended.load();
}

bool SerialLink::Running() const {
  return current_ && current_->flags.running.load();
}

bool SerialLink::Alive() const {
  return current_ && !current_->ended.load();
}

}  // namespace tovira
