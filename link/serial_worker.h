#pragma once
// One run of the serial worker: keep the switch's port open, treat a dropped DSR
// line or a failed read as a lost switch and reconnect, and while connected decode each frame as
// soon as it is in. Everything it learns goes to its LinkEvents, in order.

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "base/target_mode.h"
#include "link/link_clock.h"
#include "link/link_events.h"
#include "link/serial_port.h"
#include "link/stop_signal.h"

namespace tovira {

namespace link_timing {
inline constexpr std::chrono::milliseconds kAttemptPause{500};
inline constexpr std::chrono::milliseconds kSettlePause{500};  // after a new connection
// The pause of the plain frame step, and of a frame dropped in the connect wait.
inline constexpr std::chrono::milliseconds kLineCheckPeriod{10};
// The longest wait for a frame: the port's wait also ends when a line changes, so
// a lost switch is noticed at once, and nothing wakes the worker while the
// switch is idle.
inline constexpr std::chrono::milliseconds kLongestFrameWait{1000};
inline constexpr std::chrono::milliseconds kConnectWait{1000};  // frames before its end are dropped
// A byte alone for this long has lost its partner (an overrun, a radio glitch)
// and is dropped, so that the frames after it pair as sent. A frame's two bytes
// take 2 ms on the wire at 9600 bit/s and travel in one radio packet; a person
// cannot press and let go again within 100 ms, so the next frame has not begun.
inline constexpr std::chrono::milliseconds kLoneByteBound{100};
}  // namespace link_timing

// The last line states reported: kept for the program's whole run, handed from
// one worker to the next.
struct LineMemory {
  LineStates last;
};

// What ends a worker: its own stop (a worker once stopped never runs again) or
// the program's end.
struct WorkerFlags {
  StopSignal stop;
  const std::atomic<bool>* appEnding = nullptr;
  bool ShouldRun() const { return !stop.Raised() && !appEnding->load(); }
};

struct WorkerSetup {
  TargetMode mode = TargetMode::Velmora;
  std::wstring portName;    // the port to open, fixed for this worker
  std::wstring deviceName;  // the switch's name in balloons
};

enum class FrameOutcome { Paused, Decoded, TimedOut, Failed };

class SerialWorker {
 public:
  SerialWorker(WorkerSetup setup, WorkerFlags& flags, LineMemory& memory, SerialPortOpener& opener,
               LinkClock& clock, LinkEvents& events);

  // Returns when stopped or at shutdown, and only then; the port is closed and
  // reported closed by then. A report that throws costs the connection, never
  // the worker.
  void Run();

 private:
  void RunCycle();
  void GiveUpPortAfterFailedReport();
  bool PortOpen() const { return port_ && port_->IsOpen(); }
  void ConnectAttempt();
  bool OpenPort();
  void ClosePort();
  // Samples the six lines and reports them when any changed. Nothing when the
  // input lines cannot be read (then nothing is remembered).
  std::optional<LineStates> SampleLines();
  FrameOutcome FrameStep(std::wstring& failureText);
  // `waiting` bytes are there: a frame is read, or (after a receive error) an
  // odd count is dropped whole, or the wait for the rest begins.
  FrameOutcome PairBytes(std::size_t waiting, std::wstring& failureText);
  // What waits before a whole frame is there: a lone byte past its bound is
  // dropped; a frame that the wait brings in is read at once.
  FrameOutcome AwaitFrame(std::size_t waiting, std::wstring& failureText);
  bool DropBytes(std::size_t count, std::wstring& failureText);
  FrameOutcome ReadFrame(std::wstring& failureText);
  void SwitchLost();

  WorkerSetup setup_;
  WorkerFlags& flags_;
  LineMemory& memory_;
  SerialPortOpener& opener_;
  LinkClock& clock_;
  LinkEvents& events_;

  std::unique_ptr<SerialPort> port_;
  bool waiting_ = false;  // the connect wait runs
  // An outage lasts from the start or a loss until the switch is connected; its
  // loss and attempt balloons come once, at its first loss and attempt (the log
  // lines every time), so that a switch left off, or one that opens without
  // raising DSR, does not fill the notification centre overnight.
  struct Outage {
    bool connectingShown = false;
    bool cannotOpenShown = false;
    bool lossShown = false;
  } outage_;
  LinkClock::TimePoint deadline_{};
  std::optional<LinkClock::TimePoint> loneSince_;  // one byte has waited alone since
};

}  // namespace tovira
