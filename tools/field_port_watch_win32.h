#pragma once
// The field check's watch of one switch port, opened as Tovira opens it: one
// overlapped read kept waiting as the link keeps it, the lines sampled every few
// milliseconds, the system's line-change wait beside them, and the driver's error
// flags. Everything it sees goes to the report. One thread: the caller's.

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "tools/field_report.h"

namespace tovira::tools {

// Seconds since the run began, on the precise counter.
class RunClock {
 public:
  RunClock();
  double Now() const;

 private:
  LARGE_INTEGER start_{};
  LARGE_INTEGER frequency_{};
};

struct WatchPlan {
  std::wstring portName;
  double seconds = 300;
  // Called at every turn of the watch (a few milliseconds apart) with the time.
  std::function<void(double)> onTurn;
};

// Watches until the plan's time has passed or `stop` is raised. As in the link, a
// read that ends empty or fails while DSR is on turns the reads plain (only bytes
// already waiting are read); otherwise the port is closed and opened again every
// second, as a switch that walks out of range and back is. False when the port
// never opened.
bool WatchSwitchPort(const WatchPlan& plan, const RunClock& clock, FieldReport& report,
                     const std::atomic<bool>& stop);

}  // namespace tovira::tools
