#pragma once
// The Bluetooth device search: list the devices that have a COM port, select
// the saved one, and start the link on its port. It runs on a thread of its own;
// everything that touches the window or the link goes through its host.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bluetooth/port_lookup.h"

namespace tovira {

inline constexpr std::size_t kMaxBluetoothDevices = 256;

struct BluetoothDevice {
  std::wstring name;
  std::array<std::uint8_t, 6> address{};  // byte 0 least significant
};

// 12 lower-case hexadecimal digits, most significant byte first: 001122aabbcc.
std::wstring BluetoothAddressText(const std::array<std::uint8_t, 6>& address);

// The person's own switch as the settings remember it. Switches of one model
// share their name; the address tells them apart (empty: not known).
struct SavedDevice {
  std::wstring name;
  std::wstring address;  // as BluetoothAddressText gives it
};

// A found device that has a serial port: one entry of the device list.
struct DeviceWithPort {
  std::wstring name;
  std::wstring address;
  std::wstring port;
};

// The known, remembered, connected and newly found devices, in the
// platform's order (the search takes at most 256); empty when there is no radio.
class BluetoothDeviceSource {
 public:
  virtual ~BluetoothDeviceSource() = default;
  // Nothing when the devices cannot be read (no radio, or the platform failed).
  virtual std::optional<std::vector<BluetoothDevice>> FindDevices() = 0;
};

// What a search works on: the window and the link. Every call but ShowBalloon
// runs on the window thread while the search waits; failed hand-offs are dropped.
class SearchHost {
 public:
  virtual ~SearchHost() = default;
  virtual void ShowBalloon(const std::wstring& text) = 0;
  // The refresh button hidden and the controls locked while searching.
  virtual void ShowSearching(bool searching) = 0;
  virtual void StopLink() = 0;
  // The devices found so far forgotten.
  virtual void ClearDevices() = 0;
  // The device as the next list entry, selected when it is the saved one (at
  // most one entry of a search is).
  virtual void AddDevice(const DeviceWithPort& device, bool selected) = 0;
  // The port the link uses after the search.
  virtual void SetPortName(const std::wstring& port) = 0;
  // The link started on that port.
  virtual void StartLink() = 0;
};

struct SearchOutcome {
  int listed = 0;
  int selected = -1;
  std::wstring portName;
  bool cutShort = false;  // the application was ending
  bool failed = false;    // the devices or the ports could not be read: the link as before
  int portQueries = 0;
};

// `saved` and `currentPort` are the stored device and the link's port (the list
// is locked during a search, so they cannot change meanwhile). Among the devices
// bearing the saved name, the one with the saved address is selected, else the
// last of them. The serial ports are queried once per search. When the devices
// or the ports cannot be read, the search leaves the link as it was: the saved
// device listed on its port, and the link started there again.
SearchOutcome RunDeviceSearch(const SavedDevice& saved, const std::wstring& currentPort,
                              BluetoothDeviceSource& devices, SerialPortSource& ports, SearchHost& host,
                              const std::atomic<bool>& appEnding);

// The quiet look-up of a moved port, which must never take another person's
// switch of the same model: the port of the device with the saved name and
// address; without a saved address, of the one device bearing the saved name
// (two or more: nothing). Nothing too when the device has no port or the
// devices or ports cannot be read.
std::optional<std::wstring> FindDevicePort(const SavedDevice& saved, BluetoothDeviceSource& devices,
                                           SerialPortSource& ports);

}  // namespace tovira
