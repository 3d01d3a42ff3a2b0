#include "app/settings.h"

#include "ui/log_format.h"

namespace tovira {

std::wstring SettingsFolder(std::wstring_view applicationData) {
  return std::wstring(applicationData) + L"\\brelkin\\Tovira";
}

std::wstring SettingsFile(std::wstring_view settingsFolder) {
  return std::wstring(settingsFolder) + L"\\Settings.ini";
}

LoadedSettings LoadSettings(ProfileStore& store) {
  LoadedSettings settings;
  settings.deviceName = store.GetIniStr(kSettingsSection, L"DeviceName", kDefaultDeviceName, kIniTextUnits);
  settings.portName = store.GetIniStr(kSettingsSection, L"PortName", L"", kIniTextUnits);
  settings.portNotSave = store.GetIniInt(kSettingsSection, L"PortNotSave", 0) == 1;
  settings.showNotBalloon = store.GetIniInt(kSettingsSection, L"ShowNotBalloon", 0) == 1;
  settings.logMode = IsLogModeCode(store.GetIniStr(kSettingsSection, L"LogMode", L"", kIniTextUnits));
  return settings;
}

void SaveSettings(ProfileStore& store, const SettingsAtExit& settings) {
  if (!settings.chooserText.empty()) store.PutIniStr(kSettingsSection, L"DeviceName", settings.chooserText);
  store.PutIniStr(kSettingsSection, L"PortName", settings.portNotSave ? L"" : settings.portName);
  store.PutIniStr(kSettingsSection, L"PortNotSave", settings.portNotSave ? L"1" : L"0");
  store.PutIniStr(kSettingsSection, L"ShowNotBalloon", settings.showNotBalloon ? L"1" : L"0");
}

}  // namespace tovira
