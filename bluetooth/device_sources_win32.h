#pragma once
// The platform's device and port sources: Bluetooth enumeration and the
// management query of Win32_SerialPort.

#include "bluetooth/device_search.h"
#include "bluetooth/search_thread.h"

namespace tovira {

// The authenticated, remembered and connected devices and, for the user's
// search, a fresh inquiry of 6.4 s over all local radios.
class Win32BluetoothDeviceSource final : public BluetoothDeviceSource {
 public:
  explicit Win32BluetoothDeviceSource(bool inquire) : inquire_(inquire) {}
  std::optional<std::vector<BluetoothDevice>> FindDevices() override;

 private:
  bool inquire_;
};

// "SELECT DeviceID, PNPDeviceID FROM Win32_SerialPort" in ROOT\CIMV2. COM is
// initialised on the calling thread for the call's length. A query whose results
// do not come within the port query's bound has failed.
class WmiSerialPortSource final : public SerialPortSource {
 public:
  std::optional<std::vector<SerialPortEntry>> QueryPorts() override;
};

// The two above, for the program's searches; the port query bounded.
SearchSources PlatformSearchSources();

}  // namespace tovira
