#include "app/profile_store_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

namespace tovira {
namespace {

class ProfileStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"tovira-profile-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::wstring& file : created_) ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(folder_.c_str());
  }
  std::wstring File(const std::wstring& name) {
    created_.push_back(folder_ + L"\\" + name);
    return created_.back();
  }
  static std::string FirstBytes(const std::wstring& path, std::size_t count) {
    std::string bytes(count, '\0');
    HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    DWORD got = 0;
    ::ReadFile(file, bytes.data(), static_cast<DWORD>(count), &got, nullptr);
    ::CloseHandle(file);
    bytes.resize(got);
    return bytes;
  }

  std::wstring folder_;
  std::vector<std::wstring> created_;
};

TEST_F(ProfileStoreTest, NewFileIsUnicodeAndKeepsJapaneseNames) {
  const std::wstring path = File(L"Settings.ini");
  Win32ProfileStore store(path);
  store.WriteText(L"Settings", L"DeviceName", L"ワイヤレス・スイッチ");
  store.WriteText(L"Settings", L"PortName", L"COM12");
  EXPECT_EQ(FirstBytes(path, 2), std::string("\xFF\xFE", 2));
  Win32ProfileStore reader(path);
  EXPECT_EQ(reader.ReadText(L"Settings", L"DeviceName", L"x", 256), L"ワイヤレス・スイッチ");
  EXPECT_EQ(reader.ReadText(L"Settings", L"PortName", L"", 256), L"COM12");
}

TEST_F(ProfileStoreTest, MissingFileAndKeysGiveTheDefaults) {
  Win32ProfileStore store(File(L"absent.ini"));
  EXPECT_EQ(store.ReadText(L"Settings", L"DeviceName", L"KXRVP-M04", 256), L"KXRVP-M04");
  EXPECT_EQ(store.ReadNumber(L"Settings", L"PortNotSave", 0), 0);
  const LoadedSettings settings = LoadSettings(store);
  EXPECT_EQ(settings.deviceName, L"KXRVP-M04");
  EXPECT_TRUE(settings.portName.empty());
}

TEST_F(ProfileStoreTest, LongValueIsCutAndOddIntegersReadAsTheyAre) {
  const std::wstring path = File(L"long.ini");
  Win32ProfileStore store(path);
  store.WriteText(L"Settings", L"DeviceName", std::wstring(300, L'ス'));
  store.WriteText(L"Settings", L"PortNotSave", L"2");
  store.WriteText(L"Settings", L"ShowNotBalloon", L"yes");
  const LoadedSettings settings = LoadSettings(store);
  EXPECT_EQ(settings.deviceName, std::wstring(255, L'ス'));
  EXPECT_FALSE(settings.portNotSave);
  EXPECT_FALSE(settings.showNotBalloon);
}

TEST_F(ProfileStoreTest, PathLongerThan260UnitsStillWorks) {
  std::wstring deep = folder_;
  std::vector<std::wstring> made;
  while (deep.size() < 300) {
    deep += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr)) << ::GetLastError();
    made.push_back(deep);
  }
  const std::wstring path = deep + L"\\Settings.ini";
  ASSERT_GT(path.size(), 260u);
  {
    Win32ProfileStore store(path);
    store.WriteText(L"Settings", L"PortName", L"COM7");
    EXPECT_EQ(store.ReadText(L"Settings", L"PortName", L"", 256), L"COM7");
    EXPECT_LT(store.functionPath().size(), 260u);
  }
  // The file is where it was asked for, deep in the test's own folder, and not
  // somewhere the short path happened to lead (such as the folder the test runs in).
  const std::wstring longPath = L"\\\\?\\" + path;
  const std::string bytes = FirstBytes(longPath, 64);
  std::wstring text(bytes.size() / 2, L'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
  EXPECT_EQ(text.substr(0, 1), L"\xFEFF") << "no Unicode settings file at the long path";
  EXPECT_NE(text.find(L"PortName=COM7"), std::wstring::npos);
  EXPECT_TRUE(::DeleteFileW(longPath.c_str())) << ::GetLastError();
  for (auto it = made.rbegin(); it != made.rend(); ++it) ::RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
}

}  // namespace
}  // namespace tovira
