// Tovira's window and link with stand-in Bluetooth: the device search finds the
// switches named on the command line, each paired with its COM port, so that a
// device change can be tried under Wine, which has no Bluetooth. Everything else
// (window, serial ports, block, messages) is the real program's, in mode 2.
//   tovira_paired NAME=COMn [NAME=COMn ...]

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/switch_app_win32.h"

namespace {

struct PairedSwitch {
  std::wstring name;
  std::wstring port;
};

std::vector<PairedSwitch> gSwitches;

// Switch i gets the address 00000000000(i+1) and a Bluetooth port id that carries it.
class PairedDevices final : public tovira::BluetoothDeviceSource {
 public:
  std::optional<std::vector<tovira::BluetoothDevice>> FindDevices() override {
    std::vector<tovira::BluetoothDevice> devices;
    for (std::size_t i = 0; i < gSwitches.size(); ++i) {
      devices.push_back({gSwitches[i].name, {static_cast<std::uint8_t>(i + 1), 0, 0, 0, 0, 0}});
    }
    return devices;
  }
};

class PairedPorts final : public tovira::SerialPortSource {
 public:
  std::optional<std::vector<tovira::SerialPortEntry>> QueryPorts() override {
    std::vector<tovira::SerialPortEntry> ports;
    for (std::size_t i = 0; i < gSwitches.size(); ++i) {
      wchar_t id[96];
      std::swprintf(id, 96,
                    L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1&%012zx_C00000000",
                    i + 1);
      ports.push_back({gSwitches[i].port, id});
    }
    return ports;
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring pair = argv[i];
    const std::size_t equals = pair.find(L'=');
    if (equals == std::wstring::npos) {
      std::fwprintf(stderr, L"usage: tovira_paired NAME=COMn [NAME=COMn ...]\n");
      return 2;
    }
    gSwitches.push_back({pair.substr(0, equals), pair.substr(equals + 1)});
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  tovira::SearchSources sources{[] { return std::make_unique<PairedDevices>(); },
                                [] { return std::make_unique<PairedPorts>(); },
                                [] { return std::make_unique<PairedDevices>(); }};
  auto app = tovira::SwitchApp::Create(::GetModuleHandleW(nullptr), tovira::TargetMode::Quorandel, sources);
  if (!app) return 1;
  return tovira::RunMessageLoop(app->hwnd());
}
