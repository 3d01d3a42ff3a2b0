#pragma once
// One run of the serial worker (SerialPortProc): keep the switch's port open,
// treat a dropped DSR line as a lost switch and reconnect, and while connected
// decode one frame per cycle.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "app/target_mode.h"
#include "link/link_clock.h"
#include "link/link_display.h"
#include "link/serial_port.h"

namespace tovira {

namespace link_timing {
inline constexpr std::chrono::milliseconds kAttemptPause{500};
inline constexpr std::chrono::milliseconds kSettlePause{500};  // after a new connection
inline constexpr std::chrono::milliseconds kIdlePause{10};
inline constexpr std::chrono::milliseconds kConnectWait{1000};  // mConnectWait
}  // namespace link_timing

// The remembered line states (open1 … cts1): kept for the program's whole run,
// handed from one worker to the next.
struct LineMemory {
  LineStates last;
};

// Flags a worker reads every cycle. `running` is this worker's own AppRunning:
// a stopped worker can never be revived by its successor's start.
struct WorkerFlags {
  std::atomic<bool> running{true};
  const std::atomic<bool>* appEnding = nullptr;
  bool ShouldRun() const { return running.load() && !appEnding->load(); }
};

struct WorkerSetup {
  TargetMode mode = TargetMode::Velmora;
  std::wstring portName;    // mPortName when the worker started
  std::wstring deviceName;  // mDeviceName when the worker started
};

enum class FrameOutcome { Paused, Decoded, TimedOut, Failed };

class SerialWorker {
 public:
  SerialWorker(WorkerSetup setup, WorkerFlags& flags, LineMemory& memory, SerialPortOpener& opener,
               LinkClock& clock, LinkDisplay& display);

  // SerialPortProc: returns when stopped, at shutdown, or after a read failure;
  // the port is closed and the switch shown as not connected by then.
  void Run();

 private:
  bool PortOpen() const { return port_ && port_->IsOpen(); }
  void ConnectAttempt();
  bool OpenCOM();
  void CloseCOM();
  // Samples the six lines and hands them on when any changed. Nothing when the
  // input lines cannot be read (then nothing is remembered).
  std::optional<LineStates> ShowCOMInv();
  FrameOutcome FrameStep(std::wstring& failureText);
  void SwitchLost();

  WorkerSetup setup_;
  WorkerFlags& flags_;
  LineMemory& memory_;
  SerialPortOpener& opener_;
  LinkClock& clock_;
  LinkDisplay& display_;

  std::unique_ptr<SerialPort> port_;  // mPort
  bool waiting_ = false;              // the connect wait
  LinkClock::TimePoint deadline_{};
};

}  // namespace tovira
