// The real status window with fake device and port sources: what a search lists,
// which entry it selects, where the link starts, where a choice moves it, and
// what the end does while a search runs.

#include <gtest/gtest.h>

#include <thread>
#include <windows.h>

#include <atomic>
#include <functional>

#include "ui/control_ids.h"
#include "tests/app/window_test_support.h"
#include "app/switch_app_win32.h"

namespace tovira {
namespace {

using window_test::PumpUntil;
using window_test::ReadSetting;
using window_test::Text;

class FakeDevices final : public BluetoothDeviceSource {
 public:
  std::optional<std::vector<BluetoothDevice>> FindDevices() override {
    return std::vector<BluetoothDevice>{{L"SW-1", {0x01, 0, 0, 0, 0, 0}},
                                        {L"NoPort", {0x09, 0, 0, 0, 0, 0}},
                                        {L"SW-2", {0x02, 0, 0, 0, 0, 0}}};
  }
};

// An inquiry that takes its time, as a real one does (6.4 s and more).
class SlowDevices final : public BluetoothDeviceSource {
 public:
  std::optional<std::vector<BluetoothDevice>> FindDevices() override {
    ::Sleep(1500);
    return FakeDevices().FindDevices();
  }
};

std::atomic<int> gPortQueries{0};

class FakePorts final : public SerialPortSource {
 public:
  std::optional<std::vector<SerialPortEntry>> QueryPorts() override {
    ++gPortQueries;
    return std::vector<SerialPortEntry>{{L"COM77", L"BTHENUM\\{00001101}\\000000000001_C0"},
                                        {L"COM78", L"BTHENUM\\{00001101}\\000000000002_C0"}};
  }
};

// No port stored: the next start searches. The saved device is SW-2.
void WriteDeviceSettings() {
  window_test::WriteSettings({{L"DeviceName", L"SW-2"}, {L"LogMode", L"730259"}});
}

// The fake ports; `Devices` for the user's search, the fake devices for the quiet look-up.
template <typename Devices>
SearchSources FakeSources() {
  return {[] { return std::make_unique<Devices>(); }, [] { return std::make_unique<FakePorts>(); },
          [] { return std::make_unique<FakeDevices>(); }};
}

std::wstring ItemText(HWND chooser, int index) {
  wchar_t text[256] = {};
  ::SendMessageW(chooser, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

TEST(DeviceSearchWindow, ListsFoundDevicesSelectsTheSavedOneAndMovesTheLinkOnAChoice) {
  WriteDeviceSettings();
  const SearchSources sources = FakeSources<FakeDevices>();
  auto app = SwitchApp::Create(::GetModuleHandleW(nullptr), TargetMode::Harmoa, sources);
  ASSERT_TRUE(app);
  HWND hwnd = app->hwnd();
  HWND chooser = ::GetDlgItem(hwnd, kIdDeviceList);
  HWND log = ::GetDlgItem(hwnd, kIdLogPanel);

  // No port stored: the load starts a search, which starts the link on SW-2's port.
  ASSERT_TRUE(PumpUntil([&] { return Text(log).find(L"COM78接続中...") != std::wstring::npos; }, 20000))
      << "the link did not start on the saved device's port";
  ASSERT_EQ(::SendMessageW(chooser, CB_GETCOUNT, 0, 0), 2) << "the device without a port is not listed";
  EXPECT_EQ(ItemText(chooser, 0), L"SW-1");
  EXPECT_EQ(ItemText(chooser, 1), L"SW-2");
  EXPECT_EQ(::SendMessageW(chooser, CB_GETCURSEL, 0, 0), 1) << "the saved device is selected";
  EXPECT_NE(::GetWindowLongW(::GetDlgItem(hwnd, kIdRefresh), GWL_STYLE) & WS_VISIBLE, 0)
      << "controls unlocked";
  EXPECT_EQ(::GetWindowLongW(::GetDlgItem(hwnd, kIdSearchingNote), GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_TRUE(::IsWindowEnabled(chooser));
  EXPECT_EQ(gPortQueries.load(), 1) << "one port query serves the whole search";

  // The user picks SW-1: the link moves to its port.
  ::SendMessageW(chooser, CB_SETCURSEL, 0, 0);
  ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(kIdDeviceList, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(chooser));
  ASSERT_TRUE(PumpUntil([&] { return Text(log).find(L"COM77接続中...") != std::wstring::npos; }, 20000))
      << "the choice did not move the link";

  ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 10000));
  app.reset();
  EXPECT_EQ(ReadSetting(L"DeviceName"), L"SW-1");
  EXPECT_EQ(ReadSetting(L"PortName"), L"COM77");
  EXPECT_EQ(ReadSetting(L"DeviceAddress"), L"000000000001") << "the address follows the pick";
}

bool Shown(HWND control) {
  return (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND gFocusCueAsked = nullptr;  // the window that asked for its focus to be drawn

LRESULT CALLBACK SeeFocusCueAsked(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_CHANGEUISTATE && LOWORD(call->wParam) == UIS_CLEAR &&
      (HIWORD(call->wParam) & UISF_HIDEFOCUS) != 0) {
    gFocusCueAsked = call->hwnd;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(DeviceSearchWindow, AFirstStartThatFindsNoDeviceOfTheStoredNameOpensTheWindowAndAsksForAChoice) {
  window_test::WriteSettings({{L"LogMode", L"730259"}});  // the default name, no port: none of it paired
  auto app = SwitchApp::Create(::GetModuleHandleW(nullptr), TargetMode::Harmoa, FakeSources<FakeDevices>());
  ASSERT_TRUE(app);
  HWND hwnd = app->hwnd();
  HWND chooser = ::GetDlgItem(hwnd, kIdDeviceList);
  HWND note = ::GetDlgItem(hwnd, kIdSearchingNote);
  HWND refresh = ::GetDlgItem(hwnd, kIdRefresh);
  // Wine keeps no focus cue (WM_QUERYUISTATE answers 0 whatever was asked): the
  // test sees the window ask for the focus to be drawn.
  gFocusCueAsked = nullptr;
  HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &SeeFocusCueAsked, nullptr, ::GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  ASSERT_TRUE(PumpUntil(
      [&] { return ::IsWindowVisible(hwnd) && Text(note) == L"一覧からスイッチを選んでください。"; }, 20000))
      << "the window stays hidden and nothing asks the carer to choose";
  EXPECT_TRUE(Shown(note));
  EXPECT_FALSE(::IsIconic(hwnd));
  ::UnhookWindowsHookEx(hook);
  EXPECT_EQ(::GetFocus(), chooser);
  EXPECT_EQ(gFocusCueAsked, hwnd) << "the focus is not drawn";
  EXPECT_EQ(::SendMessageW(chooser, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(chooser, CB_GETCURSEL, 0, 0), CB_ERR) << "nothing taken for the carer";
  EXPECT_TRUE(::IsWindowEnabled(chooser));

  ::SendMessageW(chooser, CB_SETCURSEL, 1, 0);
  ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(kIdDeviceList, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(chooser));
  ASSERT_TRUE(PumpUntil(
      [&] { return Text(::GetDlgItem(hwnd, kIdLogPanel)).find(L"COM78接続中...") != std::wstring::npos; },
      20000));
  EXPECT_FALSE(Shown(note)) << "the question ends with the choice";
  EXPECT_TRUE(Shown(refresh));
  EXPECT_EQ(Text(note), L"更新中です。しばらくお待ちください。") << "the note says its own text again";
  ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 10000));
}

// Two switches of one model, both paired: SW-2 on COM77 and SW-2 on COM78.
class TwinDevices final : public BluetoothDeviceSource {
 public:
  std::optional<std::vector<BluetoothDevice>> FindDevices() override {
    return std::vector<BluetoothDevice>{{L"SW-2", {0x01, 0, 0, 0, 0, 0}}, {L"SW-2", {0x02, 0, 0, 0, 0, 0}}};
  }
};

TEST(DeviceSearchWindow, AStoredPortThatStopsOpeningMovesToTheDevicesPortAmongThePairedOnes) {
  const struct {
    const char* name;
    std::function<std::unique_ptr<BluetoothDeviceSource>()> paired;
    const wchar_t* address;
    std::wstring port;
  } cases[] = {
      {"the one device of the saved name", [] { return std::make_unique<FakeDevices>(); }, L"", L"COM78"},
      {"two of the saved name: the one with the saved address, listed first",
       [] { return std::make_unique<TwinDevices>(); }, L"000000000001", L"COM77"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    window_test::WriteSettings({{L"DeviceName", L"SW-2"},
                                {L"PortName", L"COM250"},
                                {L"LogMode", L"730259"},
                                {L"DeviceAddress", c.address}});
    SearchSources sources = FakeSources<FakeDevices>();
    sources.pairedDevices = c.paired;
    auto app =
        SwitchApp::Create(::GetModuleHandleW(nullptr), TargetMode::Harmoa, sources, std::chrono::seconds(1));
    ASSERT_TRUE(app);
    HWND hwnd = app->hwnd();
    HWND log = ::GetDlgItem(hwnd, kIdLogPanel);
    ASSERT_TRUE(PumpUntil([&] { return Text(log).find(c.port + L"接続中...") != std::wstring::npos; }, 20000))
        << Text(log);
    EXPECT_NE(Text(log).find(L"ポート変更：COM250 -> " + c.port), std::wstring::npos);
    EXPECT_EQ(Text(::GetDlgItem(hwnd, kIdDeviceList)), L"SW-2") << "the list is left as it was";
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 10000));
    app.reset();
    EXPECT_EQ(ReadSetting(L"PortName"), c.port) << "kept as the user's choice would be";
  }
}

TEST(DeviceSearchWindow, TheFocusComesBackAfterASearchFromTheKeyboard) {
  WriteDeviceSettings();
  auto app = SwitchApp::Create(::GetModuleHandleW(nullptr), TargetMode::Harmoa, FakeSources<SlowDevices>());
  ASSERT_TRUE(app);
  HWND hwnd = app->hwnd();
  HWND note = ::GetDlgItem(hwnd, kIdSearchingNote);
  const auto searching = [&] { return (::GetWindowLongW(note, GWL_STYLE) & WS_VISIBLE) != 0; };
  // No port stored: the load searches first.
  ASSERT_TRUE(PumpUntil(searching, 10000));
  ASSERT_TRUE(PumpUntil([&] { return !searching(); }, 20000));
  ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(102, 0), 0);  // 動作テスト(&T)
  // The refresh button is hidden during the search, OK disabled: both lose the focus.
  for (const int focused : {kIdRefresh, kIdOK}) {
    SCOPED_TRACE(focused);
    HWND control = ::GetDlgItem(hwnd, focused);
    ::SetFocus(control);
    ASSERT_EQ(::GetFocus(), control);
    // The refresh button, pressed until the search before has wound up entirely.
    ASSERT_TRUE(PumpUntil(
        [&] {
          ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(kIdRefresh, BN_CLICKED), 0);
          return searching();
        },
        10000))
        << "the search did not start";
    EXPECT_NE(::GetFocus(), control);
    ASSERT_TRUE(PumpUntil([&] { return !searching(); }, 20000)) << "the search did not end";
    EXPECT_EQ(::GetFocus(), control) << "the focus is back where it was";
    EXPECT_EQ(::SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0) << "and drawn";
  }
  ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 10000));
}

TEST(DeviceSearchWindow, AStoredPortNameNoPortCanHaveStartsASearchAsAtAFirstStart) {
  for (const std::wstring& refused : {std::wstring(L"COM3:"), L"COM" + std::wstring(220, L'9')}) {
    SCOPED_TRACE(refused.size());
    window_test::WriteSettings(
        {{L"DeviceName", L"SW-2"}, {L"PortName", refused.c_str()}, {L"LogMode", L"730259"}});
    auto app = SwitchApp::Create(::GetModuleHandleW(nullptr), TargetMode::Harmoa, FakeSources<FakeDevices>());
    ASSERT_TRUE(app);
    HWND hwnd = app->hwnd();
    HWND log = ::GetDlgItem(hwnd, kIdLogPanel);
    ASSERT_TRUE(PumpUntil([&] { return Text(log).find(L"COM78接続中...") != std::wstring::npos; }, 20000))
        << Text(log);
    EXPECT_EQ(::SendMessageW(::GetDlgItem(hwnd, kIdDeviceList), CB_GETCOUNT, 0, 0), 2) << "the search listed";
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 10000));
    app.reset();
    EXPECT_EQ(ReadSetting(L"PortName"), L"COM78");
  }
}

// A mapped view of the block of mode 3, held by the test.
class BlockView {
 public:
  BlockView()
      : mapping_(::OpenFileMappingA(FILE_MAP_READ, FALSE, BlockName(TargetMode::Harmoa).c_str())),
        view_(mapping_ != nullptr ? ::MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 8) : nullptr) {}
  ~BlockView() {
    if (view_ != nullptr) ::UnmapViewOfFile(view_);
    if (mapping_ != nullptr) ::CloseHandle(mapping_);
  }
  BlockView(const BlockView&) = delete;
  BlockView& operator=(const BlockView&) = delete;

  bool mapped() const { return view_ != nullptr; }
  bool AllZero() const {
    const auto* bytes = static_cast<const volatile unsigned char*>(view_);
    for (int i = 0; i < 8; ++i) {
      if (bytes[i] != 0) return false;
    }
    return true;
  }

 private:
  HANDLE mapping_;
  void* view_;
};

std::atomic<const BlockView*> gBlock{nullptr};
std::atomic<bool> gInquiryStarted{false};
std::atomic<bool> gKeptDuringInquiry{false};

// Written only at the end: ShowNotBalloon is not in the file the test starts with.
bool SettingsSavedAndBlockReleased() {
  const BlockView* block = gBlock;
  return ReadSetting(L"ShowNotBalloon") == L"0" && block != nullptr && block->AllZero();
}

// An inquiry that ends only once the settings are saved and the block released,
// 10 s at most; it notes whether that came first.
class InquiryOutlastingTheSave final : public BluetoothDeviceSource {
 public:
  std::optional<std::vector<BluetoothDevice>> FindDevices() override {
    gInquiryStarted = true;
    const ULONGLONG until = ::GetTickCount64() + 10000;
    while (!SettingsSavedAndBlockReleased() && ::GetTickCount64() < until) ::Sleep(20);
    gKeptDuringInquiry = SettingsSavedAndBlockReleased();
    return FakeDevices().FindDevices();
  }
};

TEST(DeviceSearchWindow, TheEndOfTheSessionSavesAndReleasesBeforeItWaitsForTheSearch) {
  window_test::WriteSettings({{L"DeviceName", L"SW-2"}, {L"LogMode", L"730259"}});
  auto app = SwitchApp::Create(::GetModuleHandleW(nullptr), TargetMode::Harmoa,
                               FakeSources<InquiryOutlastingTheSave>());
  ASSERT_TRUE(app);
  const BlockView block;
  ASSERT_TRUE(block.mapped());
  gBlock = &block;
  ASSERT_FALSE(block.AllZero()) << "the filler bytes before the end";
  HWND hwnd = app->hwnd();
  ASSERT_TRUE(PumpUntil([] { return gInquiryStarted.load(); }, 10000));
  ASSERT_TRUE(::SendMessageW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
  ::SendMessageW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);  // returns once the search has ended
  gBlock = nullptr;
  EXPECT_TRUE(gKeptDuringInquiry) << "the settings and the block waited for the search";
  EXPECT_EQ(ReadSetting(L"DeviceName"), L"SW-2");
  app.reset();
}

TEST(DeviceSearchWindow, ClosingDuringASearchWaitsForItStartsNoLinkAndASecondCloseChangesNothing) {
  window_test::WriteSettings({{L"DeviceName", L"SW-2"}, {L"PortNotSave", L"1"}, {L"LogMode", L"730259"}});
  const SearchSources sources = FakeSources<SlowDevices>();
  auto app = SwitchApp::Create(::GetModuleHandleW(nullptr), TargetMode::Harmoa, sources);
  ASSERT_TRUE(app);
  HWND hwnd = app->hwnd();
  ASSERT_TRUE(PumpUntil(
      [&] { return (::GetWindowLongW(::GetDlgItem(hwnd, kIdSearchingNote), GWL_STYLE) & WS_VISIBLE) != 0; },
      10000))
      << "the search locks the controls while it runs";
  // The installer's request, or the user again, while the first close waits for the search.
  std::thread secondClose([hwnd] {
    ::Sleep(300);
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
  });
  ::SendMessageW(hwnd, WM_CLOSE, 0, 0);  // returns once the search has ended
  secondClose.join();
  EXPECT_FALSE(::IsWindow(hwnd));
  app.reset();
  // The enumeration under way ran to its end; the search then saw the shutdown
  // before its first device: nothing listed, no port, no link.
  EXPECT_EQ(ReadSetting(L"PortName"), L"");
  EXPECT_EQ(ReadSetting(L"DeviceName"), L"SW-2") << "an empty list leaves the stored name";
  EXPECT_EQ(ReadSetting(L"PortNotSave"), L"1") << "saved from the controls as they stood";
}

}  // namespace
}  // namespace tovira
