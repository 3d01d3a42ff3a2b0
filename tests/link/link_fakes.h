#pragma once
// Fakes for the serial worker: a virtual clock that runs scheduled actions, a port
// whose bytes arrive at virtual times, an opener with scripted results, and a
// display that records every call in order.

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/link_clock.h"
#include "link/link_events.h"
#include "link/serial_port.h"

namespace tovira::testing_fakes {

using std::chrono::milliseconds;

class FakeClock final : public LinkClock {
 public:
  TimePoint Now() override { return now_; }
  void Sleep(milliseconds duration) { AdvanceTo(now_ + duration); }
  // Runs the actions due; a raised stop ends the pause at the action that raised it.
  void Pause(milliseconds duration, const StopSignal& stop) override { AdvanceTo(now_ + duration, &stop); }
  void PauseUntilNudged(milliseconds duration, const StopSignal& stop) override {
    AdvanceTo(now_ + duration, &stop, [&stop] { return stop.TakeNudge(); });
  }

  milliseconds Elapsed() const { return std::chrono::duration_cast<milliseconds>(now_ - TimePoint{}); }
  // Runs `action` once virtual time reaches `at` (from the start).
  void At(milliseconds at, std::function<void()> action) {
    actions_.emplace(TimePoint{} + at, std::move(action));
  }
  // Runs the actions due until `until`; ends early, at the action's time, once
  // `stop` is raised or `done` answers true after an action.
  void AdvanceTo(TimePoint until, const StopSignal* stop = nullptr,
                 const std::function<bool()>& done = nullptr) {
    const auto ended = [&] { return (stop != nullptr && stop->Raised()) || (done && done()); };
    if (ended()) return;
    while (!actions_.empty() && actions_.begin()->first <= until) {
      auto node = actions_.extract(actions_.begin());
      if (node.key() > now_) now_ = node.key();
      node.mapped()();
      if (ended()) return;
    }
    if (until > now_) now_ = until;
  }

 private:
  TimePoint now_{};
  std::multimap<TimePoint, std::function<void()>> actions_;
};

struct PortScript {
  std::vector<std::pair<milliseconds, std::uint8_t>> bytes;  // arrival time, byte
  ModemLines lines{true, true, true};
  bool linesFail = false;
  std::optional<std::wstring> bytesToReadFailure;
  std::vector<milliseconds> receiveErrors;  // times the driver reports an error, taken once each
  std::vector<ReadStatus> readOutcomes;     // consumed first, one per ReadByte
  std::wstring readFailureText = L"The device is not ready.";
  std::size_t next = 0;  // bytes taken so far: a stream, shared by every port opened on it
};

class FakePort final : public SerialPort {
 public:
  FakePort(FakeClock& clock, PortScript& script, int& closes)
      : clock_(clock), script_(script), closes_(closes) {}

  bool IsOpen() const override { return open_; }
  void CloseBehindTheWorkersBack() { open_ = false; }
  std::optional<ModemLines> ReadModemLines() override {
    if (!open_ || script_.linesFail) return std::nullopt;
    return script_.lines;
  }
  std::optional<std::size_t> BytesToRead(std::wstring& failureText) override {
    if (script_.bytesToReadFailure) {
      failureText = *script_.bytesToReadFailure;
      return std::nullopt;
    }
    return Arrived();
  }
  PortNotice TakeNotice() override { return PortNotice::None; }
  bool TakeReceiveError() override {
    auto& errors = script_.receiveErrors;
    const auto due = std::find_if(errors.begin(), errors.end(), [this](milliseconds at) { return Due(at); });
    if (due == errors.end()) return false;
    errors.erase(due);
    return true;
  }
  std::size_t WaitForBytes(std::size_t count, milliseconds limit, const StopSignal& stop) override {
    auto until = clock_.Now() + limit;
    if (script_.next + count <= script_.bytes.size()) {
      const auto ready = LinkClock::TimePoint{} + script_.bytes[script_.next + count - 1].first;
      if (ready < until) until = ready;
    }
    const ModemLines lines = script_.lines;
    const bool linesFail = script_.linesFail;
    clock_.AdvanceTo(until, &stop, [&] {
      return script_.lines.cd != lines.cd || script_.lines.dsr != lines.dsr ||
             script_.lines.cts != lines.cts || script_.linesFail != linesFail || script_.bytesToReadFailure ||
             !open_ || ReceiveErrorDue();
    });
    return Arrived();
  }
  ReadResult ReadByte() override {
    if (!script_.readOutcomes.empty()) {
      const ReadStatus status = script_.readOutcomes.front();
      script_.readOutcomes.erase(script_.readOutcomes.begin());
      if (status == ReadStatus::Failed) return {ReadStatus::Failed, 0, script_.readFailureText};
      if (status == ReadStatus::TimedOut) {
        clock_.Sleep(milliseconds(1000));
        return {ReadStatus::TimedOut, 0, L""};
      }
    }
    if (Arrived() == 0) {
      clock_.Sleep(milliseconds(1000));
      return {ReadStatus::TimedOut, 0, L""};
    }
    return {ReadStatus::Byte, script_.bytes[script_.next++].second, L""};
  }
  bool Close() override {
    open_ = false;
    ++closes_;
    return true;
  }

 private:
  bool Due(milliseconds at) const { return LinkClock::TimePoint{} + at <= clock_.Now(); }
  bool ReceiveErrorDue() const {
    return std::any_of(script_.receiveErrors.begin(), script_.receiveErrors.end(),
                       [this](milliseconds at) { return Due(at); });
  }
  std::size_t Arrived() const {
    std::size_t count = 0;
    for (std::size_t i = script_.next; i < script_.bytes.size(); ++i) {
      if (LinkClock::TimePoint{} + script_.bytes[i].first <= clock_.Now()) ++count;
    }
    return count;
  }

  FakeClock& clock_;
  PortScript& script_;
  int& closes_;
  bool open_ = true;
};

class FakeOpener final : public SerialPortOpener {
 public:
  explicit FakeOpener(FakeClock& clock) : clock_(clock) {}
  // Results of the next attempts, in order; once used up, every attempt opens.
  std::vector<OpenStatus> results;
  PortScript script;
  int opens = 0;
  int closes = 0;
  std::vector<std::wstring> names;
  FakePort* lastPort = nullptr;
  // Runs inside every attempt, as things that happen while an open blocks.
  std::function<void()> whileOpening;

  OpenResult Open(const std::wstring& portName) override {
    names.push_back(portName);
    if (whileOpening) whileOpening();
    OpenStatus status = OpenStatus::Opened;
    if (!results.empty()) {
      status = results.front();
      results.erase(results.begin());
    }
    if (status != OpenStatus::Opened) return {status, nullptr};
    ++opens;
    auto port = std::make_unique<FakePort>(clock_, script, closes);
    lastPort = port.get();
    return {OpenStatus::Opened, std::move(port)};
  }

 private:
  FakeClock& clock_;
};

// Records reports as short texts: "balloon:…", "msg:…", "enable:1", "switch:5",
// "com:OCDdrc" (upper case = on: Open, Cd, Dsr, dTr, rTs, Cts).
class RecordingEvents final : public LinkEvents {
 public:
  explicit RecordingEvents(LinkClock* clock = nullptr) : clock_(clock) {}
  void Balloon(const std::wstring& text) override { Record(L"balloon:" + text); }
  void WarningBalloon(const std::wstring& text) override { Record(L"warning:" + text); }
  void Log(const std::wstring& text) override { Record(L"msg:" + text); }
  void PortOpen(bool open) override { Record(open ? L"enable:1" : L"enable:0"); }
  void Frame(SwitchState state) override { Record(L"switch:" + std::to_wstring(state.byte())); }
  void Lines(const LineStates& lines) override {
    std::wstring text = L"com:";
    text += lines.open ? L'O' : L'o';
    text += lines.cd ? L'C' : L'c';
    text += lines.dsr ? L'D' : L'd';
    text += lines.dtr ? L'T' : L't';
    text += lines.rts ? L'R' : L'r';
    text += lines.cts ? L'S' : L's';
    Record(text);
  }

  std::vector<std::wstring> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::vector<milliseconds> Times() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return times_;
  }
  int Count(const std::wstring& prefix) const {
    int count = 0;
    for (const auto& event : Events()) count += event.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }
  // Waits (at most `limit`) until an event that starts with `prefix` has come from
  // another thread.
  bool WaitFor(const std::wstring& prefix, milliseconds limit) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return recorded_.wait_for(lock, limit, [&] {
      return std::any_of(events_.begin(), events_.end(),
                         [&](const std::wstring& event) { return event.rfind(prefix, 0) == 0; });
    });
  }

 private:
  void Record(std::wstring event) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events_.push_back(std::move(event));
      times_.push_back(clock_
                           ? std::chrono::duration_cast<milliseconds>(clock_->Now() - LinkClock::TimePoint{})
                           : milliseconds(0));
    }
    recorded_.notify_all();
  }

  LinkClock* clock_;
  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<std::wstring> events_;
  std::vector<milliseconds> times_;
};

}  // namespace tovira::testing_fakes
