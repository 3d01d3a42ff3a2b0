#include "app/settings.h"

#include "base/log_format.h"

namespace tovira {

std::wstring SettingsFolder(std::wstring_view applicationData) {
  return std::wstring(applicationData) + L"\\brelkin\\Tovira";
}

std::wstring SettingsFile(std::wstring_view settingsFolder) {
  return std::wstring(settingsFolder) + L"\\Settings.ini";
}

std::wstring SupportLogFile(std::wstring_view supportLogFolder) {
  return std::wstring(supportLogFolder) + L"\\Tovira.log";
}

namespace {

// Only the form the program writes: anything else could never match a device.
bool IsAddressText(const std::wstring& text) {
  if (text.size() != 12) return false;
  for (wchar_t c : text) {
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return false;
  }
  return true;
}

}  // namespace

LoadedSettings LoadSettings(ProfileStore& store) {
  LoadedSettings settings;
  settings.deviceName =
      store.ReadText(kSettingsSection, L"DeviceName", kDefaultDeviceName, kSettingTextUnits);
  settings.deviceAddress = store.ReadText(kSettingsSection, L"DeviceAddress", L"", kSettingTextUnits);
  if (!IsAddressText(settings.deviceAddress)) settings.deviceAddress.clear();
  settings.portName = store.ReadText(kSettingsSection, L"PortName", L"", kSettingTextUnits);
  settings.portNotSave = store.ReadNumber(kSettingsSection, L"PortNotSave", 0) == 1;
  settings.showNotBalloon = store.ReadNumber(kSettingsSection, L"ShowNotBalloon", 0) == 1;
  settings.logMode = IsLogModeCode(store.ReadText(kSettingsSection, L"LogMode", L"", kSettingTextUnits));
  settings.logFile = store.ReadNumber(kSettingsSection, L"LogFile", 0) == 1;
  return settings;
}

void SaveSettings(ProfileStore& store, const SettingsAtExit& settings) {
  if (!settings.chooserText.empty()) store.WriteText(kSettingsSection, L"DeviceName", settings.chooserText);
  store.WriteText(kSettingsSection, L"PortName", settings.portNotSave ? L"" : settings.portName);
  store.WriteText(kSettingsSection, L"PortNotSave", settings.portNotSave ? L"1" : L"0");
  store.WriteText(kSettingsSection, L"ShowNotBalloon", settings.showNotBalloon ? L"1" : L"0");
  if (!settings.chooserText.empty() && !settings.deviceAddress.empty()) {
    store.WriteText(kSettingsSection, L"DeviceAddress", settings.deviceAddress);
  }
}

}  // namespace tovira
