#pragma once
// One end-to-end scenario: a virtual switch on a COM port of the prefix, the
// target monitor, and Tovira of one mode with fresh settings naming that port.

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e_host/target_side.h"
#include "tests/e2e_host/wine_session.h"
#include "tools/virtual_switch/switch_script.h"
#include "tools/virtual_switch/virtual_switch.h"

namespace tovira::e2e {

inline constexpr Millis kScenarioWait(15000);

// "01" + the state + the filler, as the block reads while connected.
std::string ConnectedBlock(int state);

// How often `part` occurs in `text` (a log panel's lines, say).
int Occurrences(const std::string& text, const std::string& part);

// Asks `condition` every 200 ms until it holds, at most for the scenario's wait:
// for what another process does in its own time.
bool Eventually(const std::function<bool()>& condition);

// While it exists, the modem-line shim plays a fault of the port's driver, named
// by its marker file in the prefix.
class ShimFault {
 public:
  ShimFault(const std::string& marker, const std::string& content);
  ~ShimFault();
  ShimFault(const ShimFault&) = delete;
  ShimFault& operator=(const ShimFault&) = delete;

 private:
  std::string marker_;
};

// Every open of a switch's port blocks for `milliseconds` (the shim reads it
// when the port's line settings are made).
class BlockedOpen : public ShimFault {
 public:
  explicit BlockedOpen(int milliseconds) : ShimFault("delay-open", std::to_string(milliseconds)) {}
};

// Every other read of a switch's port completes with no bytes, as some virtual
// serial drivers do.
class EmptyReads : public ShimFault {
 public:
  EmptyReads() : ShimFault("empty-reads", "") {}
};

class Scenario {
 public:
  explicit Scenario(int mode, int com = 21);
  ~Scenario();

  int mode() const { return mode_; }
  std::string portName() const { return "COM" + std::to_string(com_); }

  // Settings naming the switch's port, with the log panel on, plus `extra` keys.
  void WriteSettings(const std::vector<std::pair<std::string, std::string>>& extra = {});
  TargetMonitor& StartMonitor(const std::vector<std::string>& extraArgs = {},
                              const std::string& image = "tools/target_monitor.exe");
  // Starts Tovira and waits for its window; false when it did not come.
  bool StartTovira();
  // The same with another program of the win64 build that makes Tovira's window.
  bool StartProgram(const std::vector<std::string>& argv);
  // Waits until the port is open (byte 0 = 1) and the connect wait has passed.
  bool WaitConnected();
  // Settings, monitor, Tovira, and the connect wait passed: the usual start.
  bool StartConnected();
  // One command of the virtual switch's language.
  bool Switch(const std::string& command);
  // The virtual switch's JSON lines printed since the last call (one per action,
  // each with its time stamp "t"), taken.
  std::vector<std::string> TakeSwitchLines();
  // The log panel's text.
  std::string Log() const;
  // Closes Tovira's window as the system does; its exit code.
  std::optional<int> CloseTovira();

  TargetMonitor& monitor() { return *monitor_; }
  ChildProcess& tovira() { return tovira_; }

 private:
  int mode_;
  int com_;
  tools::VirtualSwitch switch_;
  std::ostringstream switchLog_;
  tools::SwitchScript script_;
  std::unique_ptr<TargetMonitor> monitor_;
  ChildProcess tovira_;
};

}  // namespace tovira::e2e
