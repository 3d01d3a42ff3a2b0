#include "link/serial_link.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace tovira {

struct SerialLink::Run {
  WorkerFlags flags;
  std::vector<std::shared_ptr<Run>> predecessors;  // every earlier worker not ended at the start

  // Reports pass the gate one at a time; once cut off, none passes.
  std::mutex gate;
  bool cutOff = false;
  bool portReportedOpen = false;  // the last port report that passed said "open"

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
  bool WaitEnded(std::chrono::steady_clock::time_point until) {
    std::unique_lock<std::mutex> lock(endMutex);
    return endedChanged.wait_until(lock, until, [this] { return ended; });
  }
  // A successor waits here without polling, until `until`; its own stop wakes
  // it. The stop is the successor's alone: a later successor still waits for
  // this run. True when the run ended or the successor was stopped.
  bool WaitEndedUnless(const StopSignal& stop, std::chrono::steady_clock::time_point until) {
    bool successorStopped = false;
    const StopSignal::Waker waker(stop, [this, &successorStopped] {
      std::lock_guard<std::mutex> lock(endMutex);
      successorStopped = true;
      endedChanged.notify_all();
    });
    std::unique_lock<std::mutex> lock(endMutex);
    return endedChanged.wait_until(lock, until,
                                   [this, &successorStopped] { return ended || successorStopped; });
  }
  bool IsCutOff() {
    std::lock_guard<std::mutex> lock(gate);
    return cutOff;
  }
  // Waits for a report under way, if any: after this, nothing of this worker
  // reaches the listener. True when its last report left the port open.
  bool CutOff() {
    std::lock_guard<std::mutex> lock(gate);
    cutOff = true;
    return std::exchange(portReportedOpen, false);
  }
};

// What every worker of one link shares: the lines last reported, and the lock
// that lets one report through at a time, whichever thread it comes from.
struct SerialLink::Shared {
  LineMemory lines;
  std::mutex reporting;
};

class SerialLink::GatedEvents final : public LinkEvents {
 public:
  GatedEvents(Run& run, LinkEvents& events, Shared& shared) : run_(run), events_(events), shared_(shared) {}
  void Balloon(const std::wstring& text) override {
    Pass([&] { events_.Balloon(text); });
  }
  void WarningBalloon(const std::wstring& text) override {
    Pass([&] { events_.WarningBalloon(text); });
  }
  void Log(const std::wstring& text) override {
    Pass([&] { events_.Log(text); });
  }
  bool Logging() const override { return events_.Logging(); }
  void PortOpen(bool open) override {
    Pass([&] {
      run_.portReportedOpen = open;
      events_.PortOpen(open);
    });
  }
  void Frame(SwitchState state) override {
    Pass([&] { events_.Frame(state); });
  }
  void Lines(const LineStates& lines) override {
    Pass([&] {
      shared_.lines.last = lines;
      events_.Lines(lines);
    });
  }
  void OpenFailed() override {
    Pass([&] { events_.OpenFailed(); });
  }

 private:
  template <typename Report>
  void Pass(const Report& report) {
    std::lock_guard<std::mutex> gate(run_.gate);
    if (run_.cutOff) return;
    std::lock_guard<std::mutex> oneAtATime(shared_.reporting);
    report();
  }

  Run& run_;
  LinkEvents& events_;
  Shared& shared_;
};

SerialLink::SerialLink(SerialLinkParts parts)
    : parts_(std::move(parts)), shared_(std::make_shared<Shared>()) {}

SerialLink::~SerialLink() {
  StopAll(std::chrono::steady_clock::now());
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
  // A new worker replaces every earlier one, stopped or not, and runs once they ended.
  for (const Started& earlier : started_) {
    earlier.run->flags.stop.Raise();
    run->predecessors.push_back(earlier.run);
  }
  std::thread thread(&SerialLink::Body, run, parts_, shared_, WorkerSetup{parts_.mode, portName, deviceName});
  started_.push_back({std::move(run), std::move(thread)});
}

void SerialLink::Body(const std::shared_ptr<Run>& run, const SerialLinkParts& parts,
                      const std::shared_ptr<Shared>& shared, WorkerSetup setup) {
  try {
    if (parts.onWorkerThread) parts.onWorkerThread();
    WaitForPredecessors(*run, parts, *shared);
    if (run->flags.ShouldRun()) {
      // The worker starts from the lines last reported; only what passes its gate
      // is remembered for the next one, so a cut-off worker leaves nothing behind.
      LineMemory memoryOfRun;
      {
        std::lock_guard<std::mutex> lock(shared->reporting);
        memoryOfRun = shared->lines;
      }
      GatedEvents events(*run, *parts.events, *shared);
      SerialWorker worker(std::move(setup), run->flags, memoryOfRun, *parts.opener, *parts.clock, events);
      worker.Run();
    }
  } catch (...) {
    // Nothing may cross the thread's entry; the worker simply ends.
  }
  run->MarkEnded();
}

void SerialLink::WaitForPredecessors(Run& run, const SerialLinkParts& parts, Shared& shared) {
  // Not beside an earlier worker that is still running, but not for ever either:
  // one that hangs in its driver past the stop's bound is cut off (its close
  // reported for it, as a stop does) and left behind, so that the switch the
  // user chose can still connect.
  const auto until = std::chrono::steady_clock::now() + parts.stopBound;
  for (const std::shared_ptr<Run>& earlier : run.predecessors) {
    if (!run.flags.ShouldRun()) break;
    if (earlier->IsCutOff() || earlier->WaitEndedUnless(run.flags.stop, until)) continue;
    if (earlier->CutOff()) ReportCutOffClose(parts, shared);
  }
  run.predecessors.clear();
}

void SerialLink::ReportCutOffClose(const SerialLinkParts& parts, Shared& shared) {
  std::lock_guard<std::mutex> oneAtATime(shared.reporting);
  parts.events->PortOpen(false);
}

bool SerialLink::StopAll(std::chrono::steady_clock::time_point until) {
  for (const Started& started : started_) started.run->flags.stop.Raise();
  bool allEnded = true;
  for (const Started& started : started_) {
    if (started.run->WaitEnded(until)) continue;
    allEnded = false;
    // Cut off, the worker can no longer close what it opened for the target and
    // the window: say it here, on the stopping thread, so that nothing stays held.
    if (started.run->CutOff()) ReportCutOffClose(parts_, *shared_);
  }
  return allEnded;
}

bool SerialLink::Stop() {
  return StopAll(std::chrono::steady_clock::now() + parts_.stopBound);
}

void SerialLink::Nudge() {
  if (!started_.empty()) started_.back().run->flags.stop.Nudge();
}

bool SerialLink::Running() const {
  return !started_.empty() && !started_.back().run->flags.stop.Raised();
}

bool SerialLink::Alive() const {
  return !started_.empty() && !started_.back().run->Ended();
}

}  // namespace tovira
