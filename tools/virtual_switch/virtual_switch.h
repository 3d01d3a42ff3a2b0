#pragma once
// A stand-in for the wireless switch: a pseudo-terminal whose far end is a COM port
// of a Wine prefix (dosdevices/comN), and modem lines that the test shim reports.

#include <cstdint>
#include <string>
#include <vector>

#include "base/target_mode.h"

namespace tovira::tools {

// Modem input lines as Tovira reads them on the port.
struct ModemLineState {
  bool dsr = true;
  bool cts = true;
  bool cd = true;
};

// Where the modem-line shim looks for a pty's lines: <prefix>/tovira-modem-lines/pts<N>.
std::string ModemLinesFile(const std::string& winePrefix, const std::string& slavePath);
// The TIOCM bits the shim answers with.
int ModemLineBits(const ModemLineState& lines);

class VirtualSwitch {
 public:
  // Opens a pty pair and links <prefix>/dosdevices/com<comNumber> to its slave.
  // Throws std::runtime_error when the pty or the link cannot be made.
  VirtualSwitch(std::string winePrefix, int comNumber, TargetMode mode);
  ~VirtualSwitch();
  VirtualSwitch(const VirtualSwitch&) = delete;
  VirtualSwitch& operator=(const VirtualSwitch&) = delete;

  std::string portName() const { return "COM" + std::to_string(comNumber_); }
  const std::string& slavePath() const { return slavePath_; }
  TargetMode mode() const { return mode_; }
  bool vanished() const { return masterFd_ < 0; }

  // Writes bytes to the port; false once the switch has vanished or on error.
  bool Write(const std::vector<std::uint8_t>& bytes);
  void SetLines(const ModemLineState& lines);
  const ModemLineState& lines() const { return lines_; }
  // Closes the far end, as a switch going out of range does to a Bluetooth port.
  void Vanish();
  // After a vanish: a new port under the same name, as a switch back in range.
  void Return();

  // The slave side (for tests that read what Tovira would read).
  int slaveFd() const { return slaveFd_; }

 private:
  // A new pty pair, and comN linked to its slave.
  void OpenPort();
  void WriteLinesFile();

  std::string prefix_;
  int comNumber_;
  TargetMode mode_;
  int masterFd_ = -1;
  int slaveFd_ = -1;
  std::string slavePath_;
  std::string linkPath_;
  ModemLineState lines_;
};

}  // namespace tovira::tools
