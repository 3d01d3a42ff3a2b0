#include "bluetooth/device_search.h"

#include <cwchar>

namespace tovira {

std::wstring BluetoothAddressText(const std::array<std::uint8_t, 6>& address) {
  wchar_t text[13];
  std::swprintf(text, 13, L"%02x%02x%02x%02x%02x%02x", address[5], address[4], address[3], address[2],
                address[1], address[0]);
  return text;
}

namespace {

// The found devices that have a serial port, in the platform's order, each with its port.
std::vector<std::pair<std::wstring, std::wstring>> DevicesWithPorts(
    const std::vector<BluetoothDevice>& found, const std::vector<SerialPortEntry>& table) {
  std::vector<std::pair<std::wstring, std::wstring>> listed;
  for (std::size_t n = 0; n < found.size() && n < kMaxBluetoothDevices; ++n) {
    const std::optional<std::wstring> port = PortForAddress(table, BluetoothAddressText(found[n].address));
    if (port) listed.emplace_back(found[n].name, *port);  // a device without a serial port is not listed
  }
  return listed;
}

// One query serves every device: on Windows it touches each Bluetooth serial port
// and may take seconds. None is made when no device was found.
std::optional<std::vector<SerialPortEntry>> PortTable(const std::vector<BluetoothDevice>& found,
                                                      SerialPortSource& ports, int& queries) {
  if (found.empty()) return std::vector<SerialPortEntry>{};
  ++queries;
  auto table = ports.QueryPorts();
  if (table && table->size() > kMaxSerialPorts) table->resize(kMaxSerialPorts);
  return table;
}

}  // namespace

SearchOutcome RunDeviceSearch(const std::wstring& savedDevice, const std::wstring& currentPort,
                              BluetoothDeviceSource& devices, SerialPortSource& ports, SearchHost& host,
                              const std::atomic<bool>& appEnding) {
  SearchOutcome outcome;
  host.ShowSearching(true);
  host.StopLink();
  host.ClearDevices();
  host.ShowBalloon(std::wstring(kSearchStarted));

  const std::optional<std::vector<BluetoothDevice>> found = devices.FindDevices();
  std::optional<std::vector<SerialPortEntry>> table;
  if (found) table = PortTable(*found, ports, outcome.portQueries);
  if (!found || !table) {
    // Nothing learnt: the user keeps the switch that worked before the search.
    outcome.failed = true;
    if (!currentPort.empty()) host.AddDevice(savedDevice, currentPort);
    if (appEnding.load()) {
      outcome.cutShort = true;
      return outcome;
    }
    host.ShowBalloon(std::wstring(kSearchFinished));
    host.ShowSearching(false);
    if (!currentPort.empty()) host.StartLink();
    return outcome;
  }

  std::wstring selectedPort;
  for (const auto& [name, port] : DevicesWithPorts(*found, *table)) {
    if (appEnding.load()) break;
    host.AddDevice(name, port);
    // Several devices with the saved name: the last of them wins.
    if (name == savedDevice) {
      outcome.selected = outcome.listed;
      selectedPort = port;
    }
    ++outcome.listed;
  }

  outcome.portName = selectedPort;
  host.SetPortName(outcome.portName);
  if (appEnding.load()) {
    outcome.cutShort = true;  // no end balloon, the controls stay locked, no worker
    return outcome;
  }
  host.ShowBalloon(std::wstring(kSearchFinished));
  host.ShowSearching(false);
  if (!outcome.portName.empty()) host.StartLink();
  return outcome;
}

std::optional<std::wstring> FindDevicePort(const std::wstring& deviceName, BluetoothDeviceSource& devices,
                                           SerialPortSource& ports) {
  const std::optional<std::vector<BluetoothDevice>> found = devices.FindDevices();
  if (!found) return std::nullopt;
  int queries = 0;
  const std::optional<std::vector<SerialPortEntry>> table = PortTable(*found, ports, queries);
  if (!table) return std::nullopt;
  std::optional<std::wstring> port;
  for (const auto& [name, listedPort] : DevicesWithPorts(*found, *table)) {
    if (name == deviceName) port = listedPort;
  }
  return port;
}

}  // namespace tovira
