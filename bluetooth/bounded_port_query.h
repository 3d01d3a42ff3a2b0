#pragma once
// A serial port query that answers within its bound. On Windows the query touches
// every Bluetooth serial port and a driver may never answer; a query still running
// at the bound is left to end on its own thread and counts as failed. One query
// runs at a time in the process: a new one waits for the one under way, and
// while one left behind is still stuck, a new one fails at once.

#include <chrono>
#include <memory>

#include "bluetooth/port_lookup.h"

namespace tovira {

inline constexpr std::chrono::milliseconds kPortQueryBound{10000};

// A query is under way (or stuck) in this process.
bool PortQueryUnderWay();

class BoundedPortSource final : public SerialPortSource {
 public:
  BoundedPortSource(std::unique_ptr<SerialPortSource> inner, std::chrono::milliseconds bound);
  std::optional<std::vector<SerialPortEntry>> QueryPorts() override;

 private:
  std::shared_ptr<SerialPortSource> inner_;  // shared with a query left running
  std::chrono::milliseconds bound_;
};

}  // namespace tovira
