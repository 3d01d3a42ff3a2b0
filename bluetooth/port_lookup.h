#pragma once
// From a Bluetooth address to the COM port Windows offers for it: the first
// serial port whose Plug and Play identifier contains the address.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovira {

inline constexpr std::size_t kMaxSerialPorts = 256;

struct SerialPortEntry {
  std::wstring deviceId;     // "DeviceID", such as COM3
  std::wstring pnpDeviceId;  // "PNPDeviceID"; empty when the port has none
};

// The serial ports of the PC, as one query finds them (at most 256 are kept).
class SerialPortSource {
 public:
  virtual ~SerialPortSource() = default;
  // Nothing when the query itself fails.
  virtual std::optional<std::vector<SerialPortEntry>> QueryPorts() = 0;
};

// Ordinal containment, letter case ignored (ASCII letters; no language rules).
bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part);

// "COM" and the digits of a DeviceID that holds "COM"; any other DeviceID as it is.
std::wstring PortNameFromDeviceId(std::wstring_view deviceId);

// PortForAddress over one table: the port of the first entry whose identifier
// contains `address`, or nothing (never the empty text).
std::optional<std::wstring> PortForAddress(const std::vector<SerialPortEntry>& ports,
                                           std::wstring_view address);

}  // namespace tovira
