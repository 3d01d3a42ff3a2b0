#pragma once
// The per-user settings: read once at start-up, written once at an orderly exit.

#include <string>
#include <string_view>

namespace tovira {

inline constexpr std::size_t kSettingTextUnits = 256;  // 255 characters and the terminator

// ReadText, ReadNumber and WriteText on the settings file.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  // The stored text cut to `bufferUnits` - 1 units, or `fallback` when absent.
  virtual std::wstring ReadText(std::wstring_view section, std::wstring_view key, std::wstring_view fallback,
                                std::size_t bufferUnits) = 0;
  // The stored integer, or `fallback` when the key is absent.
  virtual int ReadNumber(std::wstring_view section, std::wstring_view key, int fallback) = 0;
  // Failures are not reported.
  virtual void WriteText(std::wstring_view section, std::wstring_view key, std::wstring_view value) = 0;
};

inline constexpr std::wstring_view kSettingsSection = L"Settings";
inline constexpr std::wstring_view kDefaultDeviceName = L"KXRVP-M04";

// "<application data>\brelkin\Tovira" and its "Settings.ini".
std::wstring SettingsFolder(std::wstring_view applicationData);
std::wstring SettingsFile(std::wstring_view settingsFolder);
// "<local application data>\brelkin\Tovira" and its "Tovira.log".
std::wstring SupportLogFile(std::wstring_view supportLogFolder);

struct LoadedSettings {
  std::wstring deviceName;
  std::wstring deviceAddress;  // 12 lower-case hexadecimal digits, or empty: not known
  std::wstring portName;
  bool portNotSave = false;     // the port is not written back at exit
  bool showNotBalloon = false;  // balloons suppressed
  bool logMode = false;
  bool logFile = false;  // LogFile=1: the support log
};

LoadedSettings LoadSettings(ProfileStore& store);

struct SettingsAtExit {
  std::wstring chooserText;  // the device list's text
  std::wstring portName;     // the port the link last used
  bool portNotSave = false;
  bool showNotBalloon = false;
  std::wstring deviceAddress{};  // of the device the chooser shows; empty: not known
};

// Writes DeviceName (only when the chooser has a text), PortName, PortNotSave,
// ShowNotBalloon and DeviceAddress, in this order. The address goes with the
// name and only when it is known, so that a file without one stays as it was;
// it is kept whatever PortNotSave says, being no port. LogMode and LogFile are
// never written.
void SaveSettings(ProfileStore& store, const SettingsAtExit& settings);

}  // namespace tovira
