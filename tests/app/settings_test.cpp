#include "app/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tovira {
namespace {

// A profile with the platform's reading rules: texts cut to the buffer, integers
// read from leading digits.
class FakeProfile final : public ProfileStore {
 public:
  std::wstring ReadText(std::wstring_view section, std::wstring_view key, std::wstring_view fallback,
                        std::size_t bufferUnits) override {
    EXPECT_EQ(section, L"Settings");
    const auto it = values.find(std::wstring(key));
    const std::wstring text = it == values.end() ? std::wstring(fallback) : it->second;
    return text.substr(0, bufferUnits - 1);
  }
  int ReadNumber(std::wstring_view section, std::wstring_view key, int fallback) override {
    EXPECT_EQ(section, L"Settings");
    const auto it = values.find(std::wstring(key));
    if (it == values.end()) return fallback;
    int value = 0;
    for (wchar_t c : it->second) {
      if (c < L'0' || c > L'9') break;
      value = value * 10 + (c - L'0');
    }
    return value;
  }
  void WriteText(std::wstring_view section, std::wstring_view key, std::wstring_view value) override {
    EXPECT_EQ(section, L"Settings");
    writes.push_back(std::wstring(key) + L"=" + std::wstring(value));
    values[std::wstring(key)] = value;
  }

  std::map<std::wstring, std::wstring> values;
  std::vector<std::wstring> writes;
};

TEST(Settings, MissingFileGivesTheDefaults) {
  FakeProfile profile;
  const LoadedSettings settings = LoadSettings(profile);
  EXPECT_EQ(settings.deviceName, L"KXRVP-M04");
  EXPECT_EQ(settings.portName, L"");
  EXPECT_FALSE(settings.portNotSave);
  EXPECT_FALSE(settings.showNotBalloon);
  EXPECT_FALSE(settings.logMode);
  EXPECT_FALSE(settings.logFile) << "the support log is off by default";
}

TEST(Settings, OptionsAreOnOnlyForOne) {
  const struct {
    const wchar_t* stored;
    bool on;
  } cases[] = {{L"1", true}, {L"0", false}, {L"2", false}, {L"yes", false}, {L"", false}, {L"11", false}};
  for (const auto& c : cases) {
    FakeProfile profile;
    profile.values = {{L"PortNotSave", c.stored}, {L"ShowNotBalloon", c.stored}, {L"LogFile", c.stored}};
    const LoadedSettings settings = LoadSettings(profile);
    EXPECT_EQ(settings.portNotSave, c.on) << c.stored;
    EXPECT_EQ(settings.showNotBalloon, c.on) << c.stored;
    EXPECT_EQ(settings.logFile, c.on) << c.stored;
  }
}

TEST(Settings, LogModeNeedsTheExactAccessCode) {
  const struct {
    const wchar_t* stored;
    bool on;
  } cases[] = {{L"730259", true},  {L"73025", false},   {L"7302590", false},
               {L"730258", false}, {L" 730259", false}, {L"", false}};
  for (const auto& c : cases) {
    FakeProfile profile;
    profile.values = {{L"LogMode", c.stored}};
    EXPECT_EQ(LoadSettings(profile).logMode, c.on) << c.stored;
  }
}

TEST(Settings, LongValuesAreCutTo255Units) {
  FakeProfile profile;
  profile.values = {{L"DeviceName", std::wstring(300, L'ト')}, {L"PortName", std::wstring(300, L'C')}};
  const LoadedSettings settings = LoadSettings(profile);
  EXPECT_EQ(settings.deviceName, std::wstring(255, L'ト'));
  EXPECT_EQ(settings.portName, std::wstring(255, L'C'));
}

TEST(Settings, SaveWritesItsKeysInOrderAndNeverLogMode) {
  const struct {
    SettingsAtExit at;
    std::vector<std::wstring> writes;
  } cases[] = {
      {{L"SW-ト", L"COM7", false, false},
       {L"DeviceName=SW-ト", L"PortName=COM7", L"PortNotSave=0", L"ShowNotBalloon=0"}},
      {{L"SW-1", L"COM7", true, true},
       {L"DeviceName=SW-1", L"PortName=", L"PortNotSave=1", L"ShowNotBalloon=1"}},
      {{L"", L"COM3", false, true}, {L"PortName=COM3", L"PortNotSave=0", L"ShowNotBalloon=1"}},
      // The address last, where a reader that does not know it finds nothing moved;
      // no port, it stays with PortNotSave.
      {{L"SW-1", L"COM7", true, false, L"001122aabbcc"},
       {L"DeviceName=SW-1", L"PortName=", L"PortNotSave=1", L"ShowNotBalloon=0",
        L"DeviceAddress=001122aabbcc"}},
      // It belongs to the name: an empty chooser keeps the stored pair.
      {{L"", L"COM3", false, false, L"001122aabbcc"},
       {L"PortName=COM3", L"PortNotSave=0", L"ShowNotBalloon=0"}},
  };
  for (const auto& c : cases) {
    FakeProfile profile;
    profile.values = {{L"DeviceName", L"OLD"}, {L"LogMode", L"730259"}};
    SaveSettings(profile, c.at);
    EXPECT_EQ(profile.writes, c.writes);
    EXPECT_EQ(profile.values[L"LogMode"], L"730259");
    if (c.at.chooserText.empty()) {
      EXPECT_EQ(profile.values[L"DeviceName"], L"OLD");
    }
  }
}

TEST(Settings, TheDeviceAddressRoundTripsAndAFileWithoutItStaysWithout) {
  const struct {
    const wchar_t* stored;  // null: no such key, as in a file from before addresses were kept
    std::wstring loaded;
    std::vector<std::wstring> writes;
  } cases[] = {
      {L"001122aabbcc",
       L"001122aabbcc",
       {L"DeviceName=SW", L"PortName=COM7", L"PortNotSave=0", L"ShowNotBalloon=0",
        L"DeviceAddress=001122aabbcc"}},
      {nullptr, L"", {L"DeviceName=SW", L"PortName=COM7", L"PortNotSave=0", L"ShowNotBalloon=0"}},
      // Forms the program never writes could match no device: not known.
      {L"001122AABBCC", L"", {L"DeviceName=SW", L"PortName=COM7", L"PortNotSave=0", L"ShowNotBalloon=0"}},
      {L"001122aabbc", L"", {L"DeviceName=SW", L"PortName=COM7", L"PortNotSave=0", L"ShowNotBalloon=0"}},
      {L"00:11:22:aa:bb:cc",
       L"",
       {L"DeviceName=SW", L"PortName=COM7", L"PortNotSave=0", L"ShowNotBalloon=0"}},
  };
  for (const auto& c : cases) {
    FakeProfile profile;
    profile.values = {{L"DeviceName", L"SW"}, {L"PortName", L"COM7"}};
    if (c.stored != nullptr) profile.values[L"DeviceAddress"] = c.stored;
    const LoadedSettings loaded = LoadSettings(profile);
    EXPECT_EQ(loaded.deviceAddress, c.loaded) << (c.stored != nullptr ? c.stored : L"(none)");
    SaveSettings(profile, {loaded.deviceName, loaded.portName, loaded.portNotSave, loaded.showNotBalloon,
                           loaded.deviceAddress});
    EXPECT_EQ(profile.writes, c.writes) << (c.stored != nullptr ? c.stored : L"(none)");
  }
}

TEST(Settings, StoredTwoReadsOffAndIsWrittenBackAsZero) {
  FakeProfile profile;
  profile.values = {{L"PortNotSave", L"2"}, {L"ShowNotBalloon", L"text"}};
  const LoadedSettings loaded = LoadSettings(profile);
  SaveSettings(profile, {L"", loaded.portName, loaded.portNotSave, loaded.showNotBalloon});
  EXPECT_EQ(profile.values[L"PortNotSave"], L"0");
  EXPECT_EQ(profile.values[L"ShowNotBalloon"], L"0");
}

TEST(Settings, FolderAndFile) {
  EXPECT_EQ(SettingsFolder(L"C:\\Users\\u\\AppData\\Roaming"),
            L"C:\\Users\\u\\AppData\\Roaming\\brelkin\\Tovira");
  EXPECT_EQ(SettingsFile(L"X:\\f"), L"X:\\f\\Settings.ini");
}

}  // namespace
}  // namespace tovira
