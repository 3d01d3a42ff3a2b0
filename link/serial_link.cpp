#include "link/serial_link.h"

#include <condition_variable>
#include <mutex>

namespace tovira {

struct SerialLink::Run {
  WorkerFlags flags;
  std::vector<std::shared_ptr<Run>> predecessors;  // every earlier worker not ended at the start

  // Reports pass the gate one at a time; once cut off, none passes.
  std::mutex gate;
  bool cutOff = false;

  std::mutex endMutex;
  std::condition_variable endedChanged;
  bool ended = false;

  bool Ended() {
    std::lock_guard<std::mutex> lock(endMutex);
    return ended;
  }
  void MarkEnded() {
    std::lock_guard<std::mutex> lock(endMutex);
    ended = true;
    endedChanged.notify_all();
  }
  bool WaitEnded(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(endMutex);
    return endedChanged.wait_for(lock, limit, [this] { return ended; });
  }
  // Waits for a report under way, if any: after this, nothing of this worker
  // reaches the listener.
  void CutOff() {
    std::lock_guard<std::mutex> lock(gate);
    cutOff = true;
  }
};

class SerialLink::GatedEvents final : public LinkEvents {
 public:
  GatedEvents(Run& run, LinkEvents& events) : run_(run), events_(events) {}
  void Balloon(const std::wstring& text) override {
    Pass([&] { events_.Balloon(text); });
  }
  void Log(const std::wstring& text) override {
    Pass([&] { events_.Log(text); });
  }
  void PortOpen(bool open) override {
    Pass([&] { events_.PortOpen(open); });
  }
  void Frame(int state) override {
    Pass([&] { events_.Frame(state); });
  }
  void Lines(const LineStates& lines) override {
    Pass([&] { events_.Lines(lines); });
  }

 private:
  template <typename Report>
  void Pass(const Report& report) {
    std::lock_guard<std::mutex> lock(run_.gate);
    if (!run_.cutOff) report();
  }

  Run& run_;
  LinkEvents& events_;
};

SerialLink::SerialLink(SerialLinkParts parts)
    : parts_(std::move(parts)), memory_(std::make_shared<LineMemory>()) {}

SerialLink::~SerialLink() {
  for (Started& started : started_) {
    started.run->flags.stop.Raise();
    if (!started.run->WaitEnded(std::chrono::milliseconds(0))) started.run->CutOff();
  }
  for (Started& started : started_) {
    // A worker still blocked (in an open, say) owns what it uses and ends by itself.
    if (started.run->Ended()) {
      started.thread.join();
    } else {
      started.thread.detach();
    }
  }
}

void SerialLink::ReleaseEnded() {
  std::erase_if(started_, [](Started& started) {
    if (!started.run->Ended()) return false;
    started.thread.join();
    return true;
  });
}

void SerialLink::Start(const std::wstring& portName, const std::wstring& deviceName) {
  ReleaseEnded();
  auto run = std::make_shared<Run>();
  run->flags.appEnding = parts_.appEnding.get();
  for (const Started& earlier : started_) run->predecessors.push_back(earlier.run);
  std::thread thread(&SerialLink::Body, run, parts_, memory_, WorkerSetup{parts_.mode, portName, deviceName});
  started_.push_back({std::move(run), std::move(thread)});
}

void SerialLink::Body(const std::shared_ptr<Run>& run, const SerialLinkParts& parts,
                      const std::shared_ptr<LineMemory>& memory, WorkerSetup setup) {
  try {
    if (parts.onWorkerThread) parts.onWorkerThread();
    // Never beside an earlier worker that is still blocked.
    for (const std::shared_ptr<Run>& earlier : run->predecessors) {
      while (!earlier->Ended() && run->flags.ShouldRun()) {
        parts.clock->Pause(std::chrono::milliseconds(10), run->flags.stop);
      }
    }
    run->predecessors.clear();
    if (run->flags.ShouldRun()) {
      GatedEvents events(*run, *parts.events);
      SerialWorker worker(std::move(setup), run->flags, *memory, *parts.opener, *parts.clock, events);
      worker.Run();
    }
  } catch (...) {
    // Nothing may cross the thread's entry; the worker simply ends.
  }
  run->MarkEnded();
}

bool SerialLink::Stop() {
  if (started_.empty()) return true;
  Run& current = *started_.back().run;
  current.flags.stop.Raise();
  if (current.WaitEnded(parts_.stopBound)) return true;
  current.CutOff();
  return false;
}

bool SerialLink::Running() const {
  return !started_.empty() && !started_.back().run->flags.stop.Raised();
}

bool SerialLink::Alive() const {
  return !started_.empty() && !started_.back().run->Ended();
}

}  // namespace tovira
