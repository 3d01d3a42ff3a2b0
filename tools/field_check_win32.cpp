// field_check: what a real switch and its Bluetooth driver do on a Windows PC, in
// one report file the person can send back (by default in the current folder, else
// beside the program). Never started by Tovira; run it while
// Tovira is not running (the port can be open in one program only).
//   field_check COM5 [--minutes N] [--report FILE]
//   (--seconds N for tests: the run's length in seconds)
// Lists the paired devices and serial ports as Tovira's search sees them, opens
// the port as Tovira does, prompts the person through a few minutes of presses,
// and records every read, line change and driver error with the frames decoded.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/program_path_win32.h"
#include "base/utf8.h"
#include "bluetooth/device_sources_win32.h"
#include "bluetooth/port_lookup.h"
#include "link/serial_port_win32.h"
#include "tools/field_port_watch_win32.h"
#include "tools/field_report.h"

namespace tovira::tools {
namespace {

std::atomic<bool> gStop{false};

BOOL WINAPI OnConsoleBreak(DWORD /*kind*/) {
  gStop = true;  // Ctrl+C ends the watch early; the summary is still written
  return TRUE;
}

struct Options {
  std::wstring port;
  double seconds = 5 * 60;
  std::wstring reportPath;
  bool reportNamed = false;  // by --report
};

// What the person is asked to do, at a share of the run's length. Japanese first.
struct Prompt {
  double share;
  const char* text;
};
constexpr Prompt kPrompts[] = {
    {0.00,
     "ボタンを1番から5番まで、1秒ずつ間をあけて順に押してください。 / Press buttons 1 to 5 in turn, "
     "one second apart."},
    {0.15, "2つのボタンを同時に押して離してください。 / Press two buttons together, then let go."},
    {0.25,
     "どれか1つのボタンを5秒間押し続けてから離してください。 / Hold one button down for 5 seconds, then "
     "let go."},
    {0.35,
     "スイッチに触れずに、スリープするまで置いておいてください。 / Leave the switch alone until it "
     "sleeps."},
    {0.55, "ボタンを1つ押してスイッチを起こしてください。 / Press one button to wake the switch."},
    // Pressed on the way, the last frame before the loss marks when the link
    // went, so the report times the driver's notice rather than the walk.
    {0.65,
     "ボタンを1秒に1回ほど押しながらスイッチを持って電波の届かない所まで離れ、"
     "そこでも30秒押し続けてから戻ってください。 / Press a button about once a second while you walk out "
     "of range with the switch, keep pressing there for 30 seconds, then come back."},
    {0.90, "ボタンをもう一度1つずつ押してください。 / Press each button once more."},
};

void Say(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::wstring LocalTimeText(const wchar_t* format) {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t text[64];
  std::swprintf(text, 64, format, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                now.wMilliseconds);
  return text;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--minutes" && hasValue) {
      options.seconds = 60.0 * std::wcstod(argv[++i], nullptr);
    } else if (arg == L"--seconds" && hasValue) {
      options.seconds = std::wcstod(argv[++i], nullptr);
    } else if (arg == L"--report" && hasValue) {
      options.reportPath = argv[++i];
      options.reportNamed = true;
    } else if (options.port.empty() && arg.rfind(L"--", 0) != 0) {
      options.port = arg;
    } else {
      return false;
    }
  }
  if (options.reportPath.empty()) {
    options.reportPath = L"field-check-" + options.port + LocalTimeText(L"-%04u%02u%02u-%02u%02u%02u.txt");
  }
  return IsAcceptablePortName(options.port) && options.seconds > 0;
}

// The devices and ports as Tovira's search reads them, and which port each
// device would get.
void ListDevicesAndPorts(FieldReport& report) {
  const std::optional<std::vector<SerialPortEntry>> ports = WmiSerialPortSource().QueryPorts();
  const std::optional<std::vector<BluetoothDevice>> devices = Win32BluetoothDeviceSource(false).FindDevices();
  report.Note("Paired Bluetooth devices (name, address, the port Tovira would use):");
  if (!devices) report.Note("  the devices could not be read (no Bluetooth radio, or the system failed)");
  for (const BluetoothDevice& device : devices.value_or(std::vector<BluetoothDevice>{})) {
    const std::wstring address = BluetoothAddressText(device.address);
    const auto port = ports ? PortForAddress(*ports, address) : std::nullopt;
    report.Note("  " + Utf8(device.name) + "  " + Utf8(address) + "  " +
                (port ? Utf8(*port) : "no serial port"));
  }
  if (devices && devices->empty()) report.Note("  none");
  report.Note("Serial ports (DeviceID, PNPDeviceID):");
  if (!ports) report.Note("  the serial ports could not be read");
  for (const SerialPortEntry& port : ports.value_or(std::vector<SerialPortEntry>{})) {
    report.Note("  " + Utf8(PortNameFromDeviceId(port.deviceId)) + "  " + Utf8(port.pnpDeviceId));
  }
  if (ports && ports->empty()) report.Note("  none");
  report.Note("");
}

int Run(int argc, wchar_t** argv) {
  ::SetConsoleOutputCP(CP_UTF8);
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Say("usage: field_check COM5 [--minutes N] [--report FILE]");
    return 1;
  }
  std::ofstream file(std::filesystem::path(options.reportPath), std::ios::binary);
  if (!file && !options.reportNamed) {
    // Started from a folder it may not write (System32, say): beside the program.
    options.reportPath = std::filesystem::path(ProgramPath()).replace_filename(options.reportPath).wstring();
    file.open(std::filesystem::path(options.reportPath), std::ios::binary);
  }
  if (!file) {
    Say("cannot write the report file " + Utf8(options.reportPath));
    return 3;
  }
  ::SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
  FieldReport report(file);
  report.Note("Tovira field check of " + Utf8(options.port) + ", started " +
              Utf8(LocalTimeText(L"%04u-%02u-%02u %02u:%02u:%02u.%03u")) + " (local time)");
  report.Note("");
  ListDevicesAndPorts(report);
  report.Note("Seconds since the start, on the precise clock:");

  const RunClock clock;
  std::size_t nextPrompt = 0;
  WatchPlan plan{
      options.port, options.seconds, [&](double now) {
        while (nextPrompt < std::size(kPrompts) && now >= kPrompts[nextPrompt].share * options.seconds) {
          report.NoteAt(now, std::string("prompt: ") + kPrompts[nextPrompt].text);
          Say(kPrompts[nextPrompt++].text);
        }
      }};
  Say("watching " + Utf8(options.port) + " (Ctrl+C ends early)");
  const bool opened = WatchSwitchPort(plan, clock, report, gStop);
  report.WriteSummary();
  file.close();
  Say("report: " + Utf8(std::filesystem::absolute(options.reportPath).wstring()));
  return opened ? 0 : 2;
}

}  // namespace
}  // namespace tovira::tools

int wmain(int argc, wchar_t** argv) {
  return tovira::tools::Run(argc, argv);
}
