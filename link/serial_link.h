#pragma once
// The serial worker's start and stop steps. At most one worker runs: each has its
// own run flag, and a successor started while its predecessor is still blocked
// (an open that hangs past the stop wait) waits for that one to end before its
// first cycle, so two workers never use the port or the display at once.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "link/serial_worker.h"

namespace tovira {

// The window thread's bounded waits keep serving the workers' hand-offs, so a
// worker inside a hand-off can finish its cycle and end.
class HandOffServer {
 public:
  virtual ~HandOffServer() = default;
  // Waits at most `limit`, running hand-offs that arrive; may return early.
  virtual void ServeFor(std::chrono::milliseconds limit) = 0;
};

struct SerialLinkParts {
  TargetMode mode = TargetMode::Velmora;
  std::shared_ptr<SerialPortOpener> opener;
  std::shared_ptr<LinkClock> clock;
  std::shared_ptr<LinkDisplay> display;
  std::shared_ptr<const std::atomic<bool>> appEnding;  // AppEndng
};

inline constexpr std::chrono::milliseconds kStopPoll{100};
inline constexpr int kStopPolls = 30;

class SerialLink {
 public:
  explicit SerialLink(SerialLinkParts parts);
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // The start step: a new worker on this port and device.
  void Start(const std::wstring& portName, const std::wstring& deviceName);
  // The stop step: asks the worker to stop, then waits while it runs, 100 ms a
  // check, at most 30 checks. True when no worker runs any more.
  bool Stop(HandOffServer& server);
  // AppRunning: the current worker has not been asked to stop.
  bool Running() const;
  // The current worker's thread has not ended.
  bool Alive() const;

 private:
  struct Run;
  static void Body(const std::shared_ptr<Run>& run, const SerialLinkParts& parts,
                   const std::shared_ptr<LineMemory>& memory, WorkerSetup setup);
  void ReleaseThread();

  SerialLinkParts parts_;
  std::shared_ptr<LineMemory> memory_;
  std::shared_ptr<Run> current_;
  std::thread thread_;
};

}  // namespace tovira
