#include "bluetooth/device_search.h"

#include <cwchar>

namespace tovira {

std::wstring BluetoothAddressText(const std::array<std::uint8_t, 6>& address) {
  wchar_t text[13];
  std::swprintf(text, 13, L"%02x%02x%02x%02x%02x%02x", address[5], address[4], address[3], address[2],
                address[1], address[0]);
  return text;
}

SearchOutcome RunDeviceSearch(const std::wstring& savedDevice, BluetoothDeviceSource& devices,
                              SerialPortSource& ports, SearchHost& host, const std::atomic<bool>& appEnding) {
  SearchOutcome outcome;
  host.ShowSearching(true);
  host.StopLink();
  host.ClearDevices();
  host.ShowBalloon(std::wstring(kSearchStarted));

  std::vector<BluetoothDevice> found = devices.FindDevices();
  if (found.size() > kMaxBluetoothDevices) found.resize(kMaxBluetoothDevices);
  // One query serves every device: on Windows it touches each Bluetooth serial
  // port and may take seconds. A failed query leaves every device without a port.
  std::vector<SerialPortEntry> table;
  if (!found.empty()) {
    ++outcome.portQueries;
    if (auto queried = ports.QueryPorts()) table = std::move(*queried);
    if (table.size() > kMaxSerialPorts) table.resize(kMaxSerialPorts);
  }

  std::vector<std::wstring> listedPorts;
  for (std::size_t n = 0; n < found.size() && !appEnding.load(); ++n) {
    const std::optional<std::wstring> port = PortForAddress(table, BluetoothAddressText(found[n].address));
    if (!port) continue;  // a device without a serial port is not listed
    host.AddDevice(found[n].name, *port);
    listedPorts.push_back(*port);
    // Several devices with the saved name: the last of them wins.
    if (found[n].name == savedDevice) outcome.selected = outcome.listed;
    ++outcome.listed;
  }

  outcome.portName = outcome.selected >= 0 ? listedPorts[static_cast<std::size_t>(outcome.selected)] : L"";
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

}  // namespace tovira
