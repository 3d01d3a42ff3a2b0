#pragma once
// The serial worker's start and stop. At most one worker ever reports: a new
// worker waits until every earlier one has ended, at most the stop's bound, and
// a worker that outlives that bound (an open or a close that hangs in its
// driver) is cut off, so that nothing it reports later reaches the target or the
// window. Such a worker is left to end by itself when its driver lets it.
// Reports reach the listener one at a time: on the worker's thread, or, for a
// worker cut off with its port open, the port's close on the thread that cut it
// off (a successor's, or the one that stopped the link).

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_worker.h"

namespace tovira {

inline constexpr std::chrono::milliseconds kStopBound{3000};

struct SerialLinkParts {
  TargetMode mode = TargetMode::Velmora;
  std::shared_ptr<SerialPortOpener> opener;
  std::shared_ptr<LinkClock> clock;
  // Called one at a time, in order, never after the worker was cut off (see above).
  std::shared_ptr<LinkEvents> events;
  std::shared_ptr<const std::atomic<bool>> appEnding;
  // Runs first on every worker's thread (the program raises its priority there).
  std::function<void()> onWorkerThread;
  std::chrono::milliseconds stopBound = kStopBound;
};

class SerialLink {
 public:
  explicit SerialLink(SerialLinkParts parts);
  // Stops every worker; one still blocked is cut off and left to end by itself.
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // A new worker on this port and device. Every earlier worker is asked to stop;
  // the new one runs once they all ended or were cut off.
  void Start(const std::wstring& portName, const std::wstring& deviceName);
  // Asks every worker to stop and waits until they have ended, at most the stop
  // bound; one still running then is cut off, and if it had the port open, the
  // port's close is reported for it. True when all ended.
  bool Stop();
  // The current worker's next (or current) attempt pause ends at once: a serial
  // port has just arrived.
  void Nudge();
  // The current worker has not been asked to stop.
  bool Running() const;
  // The current worker's thread has not ended.
  bool Alive() const;

 private:
  struct Run;
  struct Shared;
  class GatedEvents;
  static void Body(const std::shared_ptr<Run>& run, const SerialLinkParts& parts,
                   const std::shared_ptr<Shared>& shared, WorkerSetup setup);
  static void WaitForPredecessors(Run& run, const SerialLinkParts& parts, Shared& shared);
  // The close of a port whose worker was cut off, said for it.
  static void ReportCutOffClose(const SerialLinkParts& parts, Shared& shared);
  // Joins the threads of workers that have ended.
  void ReleaseEnded();
  bool StopAll(std::chrono::steady_clock::time_point until);

  SerialLinkParts parts_;
  std::shared_ptr<Shared> shared_;
  struct Started {
    std::shared_ptr<Run> run;
    std::thread thread;
  };
  std::vector<Started> started_;  // oldest first; the last is the current worker
};

}  // namespace tovira
