#pragma once
// The platform's device and port sources: Bluetooth enumeration and the
// management query of Win32_SerialPort.

#include "bluetooth/device_search.h"
#include "bluetooth/search_thread.h"

namespace tovira {

// A fresh inquiry of 6.4 s over all local radios, plus the
// authenticated, remembered and connected devices.
class Win32BluetoothDeviceSource final : public BluetoothDeviceSource {
 public:
  std::vector<BluetoothDevice> FindDevices() override;
};

// "SELECT DeviceID, PNPDeviceID FROM Win32_SerialPort" in ROOT\CIMV2. COM is
// initialised on the calling thread for the call's length.
class WmiSerialPortSource final : public SerialPortSource {
 public:
  std::optional<std::vector<SerialPortEntry>> QueryPorts() override;
};

// The two above, for the program's searches.
SearchSources PlatformSearchSources();

}  // namespace tovira
