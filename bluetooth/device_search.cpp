#include "bluetooth/device_search.h"

#include <cwchar>

#include "base/texts_ja.h"

namespace tovira {

std::wstring BluetoothAddressText(const std::array<std::uint8_t, 6>& address) {
  wchar_t text[13];
  std::swprintf(text, 13, L"%02x%02x%02x%02x%02x%02x", address[5], address[4], address[3], address[2],
                address[1], address[0]);
  return text;
}

namespace {

// The found devices that have a serial port, in the platform's order, each with its port.
std::vector<DeviceWithPort> DevicesWithPorts(const std::vector<BluetoothDevice>& found,
                                             const std::vector<SerialPortEntry>& table) {
  std::vector<DeviceWithPort> listed;
  for (std::size_t n = 0; n < found.size() && n < kMaxBluetoothDevices; ++n) {
    std::wstring address = BluetoothAddressText(found[n].address);
    const std::optional<std::wstring> port = PortForAddress(table, address);
    // A device without a serial port is not listed.
    if (port) listed.push_back({found[n].name, std::move(address), *port});
  }
  return listed;
}

bool IsSavedAddress(const DeviceWithPort& device, const SavedDevice& saved) {
  return !saved.address.empty() && device.name == saved.name && device.address == saved.address;
}

// The entry the search selects: the saved address among the devices of the
// saved name, else the last of them (the rule from before addresses were kept);
// -1 when none bears the name.
int SavedDeviceEntry(const std::vector<DeviceWithPort>& listed, const SavedDevice& saved) {
  int lastOfName = -1;
  for (std::size_t n = 0; n < listed.size(); ++n) {
    if (IsSavedAddress(listed[n], saved)) return static_cast<int>(n);
    if (listed[n].name == saved.name) lastOfName = static_cast<int>(n);
  }
  return lastOfName;
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

SearchOutcome RunDeviceSearch(const SavedDevice& saved, const std::wstring& currentPort,
                              BluetoothDeviceSource& devices, SerialPortSource& ports, SearchHost& host,
                              const std::atomic<bool>& appEnding) {
  SearchOutcome outcome;
  host.ShowSearching(true);
  host.StopLink();
  host.ClearDevices();
  host.ShowBalloon(std::wstring(texts::kSearchStarted));

  const std::optional<std::vector<BluetoothDevice>> found = devices.FindDevices();
  std::optional<std::vector<SerialPortEntry>> table;
  if (found) table = PortTable(*found, ports, outcome.portQueries);
  if (!found || !table) {
    // Nothing learnt: the user keeps the switch that worked before the search.
    outcome.failed = true;
    if (!currentPort.empty()) host.AddDevice({saved.name, saved.address, currentPort}, true);
    if (appEnding.load()) {
      outcome.cutShort = true;
      return outcome;
    }
    host.ShowBalloon(std::wstring(texts::kSearchFinished));
    host.ShowSearching(false);
    if (!currentPort.empty()) host.StartLink();
    return outcome;
  }

  const std::vector<DeviceWithPort> listed = DevicesWithPorts(*found, *table);
  const int savedEntry = SavedDeviceEntry(listed, saved);
  for (const DeviceWithPort& device : listed) {
    if (appEnding.load()) break;
    const bool selected = outcome.listed == savedEntry;
    host.AddDevice(device, selected);
    if (selected) {
      outcome.selected = outcome.listed;
      outcome.portName = device.port;
    }
    ++outcome.listed;
  }

  host.SetPortName(outcome.portName);
  if (appEnding.load()) {
    outcome.cutShort = true;  // no end balloon, the controls stay locked, no worker
    return outcome;
  }
  host.ShowBalloon(std::wstring(texts::kSearchFinished));
  host.ShowSearching(false);
  if (!outcome.portName.empty()) host.StartLink();
  return outcome;
}

std::optional<std::wstring> FindDevicePort(const SavedDevice& saved, BluetoothDeviceSource& devices,
                                           SerialPortSource& ports) {
  const std::optional<std::vector<BluetoothDevice>> found = devices.FindDevices();
  if (!found) return std::nullopt;
  int queries = 0;
  const std::optional<std::vector<SerialPortEntry>> table = PortTable(*found, ports, queries);
  if (!table) return std::nullopt;
  std::optional<std::wstring> port;
  int ofName = 0;
  for (const DeviceWithPort& device : DevicesWithPorts(*found, *table)) {
    if (IsSavedAddress(device, saved)) return device.port;
    if (device.name != saved.name) continue;
    ++ofName;
    port = device.port;
  }
  // Switches of one model share their name: which of them is the person's own
  // is known only by its address.
  if (!saved.address.empty() || ofName != 1) return std::nullopt;
  return port;
}

}  // namespace tovira
