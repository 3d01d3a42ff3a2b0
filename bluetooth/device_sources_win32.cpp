#include "bluetooth/device_sources_win32.h"

#include <windows.h>
#include <bluetoothapis.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <chrono>
#include <memory>

#include "base/scoped_handle_win32.h"
#include "base/system_library_win32.h"
#include "bluetooth/bounded_port_query.h"

namespace tovira {
namespace {

// The device search of the Bluetooth library, loaded from the system folder for
// the time of one search.
struct BluetoothFunctions {
  UniqueModule library;
  decltype(&::BluetoothFindFirstDevice) findFirst = nullptr;
  decltype(&::BluetoothFindNextDevice) findNext = nullptr;
  decltype(&::BluetoothFindDeviceClose) findClose = nullptr;

  bool Complete() const { return findFirst != nullptr && findNext != nullptr && findClose != nullptr; }
};

BluetoothFunctions LoadBluetoothFunctions() {
  BluetoothFunctions functions;
  functions.library = LoadSystemLibrary(L"bthprops.cpl");
  const HMODULE library = functions.library.get();
  functions.findFirst =
      LibraryFunction<decltype(&::BluetoothFindFirstDevice)>(library, "BluetoothFindFirstDevice");
  functions.findNext =
      LibraryFunction<decltype(&::BluetoothFindNextDevice)>(library, "BluetoothFindNextDevice");
  functions.findClose =
      LibraryFunction<decltype(&::BluetoothFindDeviceClose)>(library, "BluetoothFindDeviceClose");
  return functions;
}

struct BluetoothFindCloser {
  decltype(&::BluetoothFindDeviceClose) close;
  void operator()(HBLUETOOTH_DEVICE_FIND find) const { close(find); }
};
using UniqueBluetoothFind =
    std::unique_ptr<std::remove_pointer_t<HBLUETOOTH_DEVICE_FIND>, BluetoothFindCloser>;

// COM on this thread for as long as the object lives.
class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComApartment() {
    if (initialized_) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialized_;
};

BluetoothDevice FromRecord(const BLUETOOTH_DEVICE_INFO& info) {
  BluetoothDevice device;
  device.name = info.szName;
  for (std::size_t i = 0; i < device.address.size(); ++i) device.address[i] = info.Address.rgBytes[i];
  return device;
}

std::wstring StringProperty(IWbemClassObject* object, const wchar_t* name, bool& present) {
  VARIANT value;
  ::VariantInit(&value);
  std::wstring text;
  present = false;
  if (SUCCEEDED(object->Get(name, 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR &&
      value.bstrVal != nullptr) {
    text.assign(value.bstrVal, ::SysStringLen(value.bstrVal));
    present = true;
  }
  ::VariantClear(&value);
  return text;
}

}  // namespace

std::optional<std::vector<BluetoothDevice>> Win32BluetoothDeviceSource::FindDevices() {
  // Without the system's Bluetooth library the devices cannot be read.
  const BluetoothFunctions bluetooth = LoadBluetoothFunctions();
  if (!bluetooth.Complete()) return std::nullopt;
  BLUETOOTH_DEVICE_SEARCH_PARAMS search{};
  search.dwSize = sizeof(search);
  search.fReturnAuthenticated = TRUE;
  search.fReturnRemembered = TRUE;
  search.fReturnUnknown = inquire_ ? TRUE : FALSE;
  search.fReturnConnected = TRUE;
  search.fIssueInquiry = inquire_ ? TRUE : FALSE;
  search.cTimeoutMultiplier = inquire_ ? 5 : 0;  // 5 x 1.28 s
  search.hRadio = nullptr;                       // every local radio
  BLUETOOTH_DEVICE_INFO info{};
  info.dwSize = sizeof(info);
  std::vector<BluetoothDevice> devices;
  UniqueBluetoothFind find(bluetooth.findFirst(&search, &info), BluetoothFindCloser{bluetooth.findClose});
  if (!find) {
    // No device is an answer; no radio or a failure is not.
    if (::GetLastError() == ERROR_NO_MORE_ITEMS) return devices;
    return std::nullopt;
  }
  do {
    if (devices.size() < kMaxBluetoothDevices) devices.push_back(FromRecord(info));
  } while (bluetooth.findNext(find.get(), &info));
  return devices;
}

std::optional<std::vector<SerialPortEntry>> WmiSerialPortSource::QueryPorts() {
  const auto deadline = std::chrono::steady_clock::now() + kPortQueryBound;
  ComApartment apartment;
  IWbemLocator* rawLocator = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(&rawLocator)))) {
    return std::nullopt;
  }
  ComPtr<IWbemLocator> locator(rawLocator);
  IWbemServices* rawServices = nullptr;
  const UniqueBstr space(::SysAllocString(L"ROOT\\CIMV2"));
  const HRESULT connected =
      locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &rawServices);
  if (FAILED(connected)) return std::nullopt;
  ComPtr<IWbemServices> services(rawServices);
  ::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);

  const UniqueBstr language(::SysAllocString(L"WQL"));
  const UniqueBstr query(::SysAllocString(L"SELECT DeviceID, PNPDeviceID FROM Win32_SerialPort"));
  if (!language || !query) return std::nullopt;
  IEnumWbemClassObject* rawResults = nullptr;
  const HRESULT ran =
      services->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                          nullptr, &rawResults);
  if (FAILED(ran)) return std::nullopt;
  ComPtr<IEnumWbemClassObject> results(rawResults);

  std::vector<SerialPortEntry> ports;
  for (;;) {
    IWbemClassObject* rawObject = nullptr;
    ULONG returned = 0;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    const HRESULT next = results->Next(static_cast<LONG>(left.count()), 1, &rawObject, &returned);
    if (next == WBEM_S_TIMEDOUT) return std::nullopt;
    if (next != WBEM_S_NO_ERROR || returned == 0) break;
    ComPtr<IWbemClassObject> object(rawObject);
    bool hasId = false;
    bool hasPnp = false;
    SerialPortEntry entry;
    entry.deviceId = StringProperty(object.get(), L"DeviceID", hasId);
    entry.pnpDeviceId = StringProperty(object.get(), L"PNPDeviceID", hasPnp);
    if (!hasId) continue;  // a port without a DeviceID is skipped
    if (ports.size() < kMaxSerialPorts) ports.push_back(std::move(entry));
  }
  return ports;
}

SearchSources PlatformSearchSources() {
  return {[] { return std::make_unique<Win32BluetoothDeviceSource>(true); },
          [] {
            return std::make_unique<BoundedPortSource>(std::make_unique<WmiSerialPortSource>(),
                                                       kPortQueryBound);
          },
          [] { return std::make_unique<Win32BluetoothDeviceSource>(false); }};
}

}  // namespace tovira
