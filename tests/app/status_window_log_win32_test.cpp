// The log panel of the real status window: lines reach it within a tenth of a
// second, in order, and it keeps the newest lines when it grows long.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/app/window_test_support.h"
#include "ui/control_ids.h"
#include "base/log_format.h"
#include "app/switch_app_win32.h"

namespace tovira {
namespace {

TEST(StatusWindowLog, LinesArriveInOrderAndTheNewestAreKept) {
  window_test::WriteSettings({{L"DeviceName", L"SW"}, {L"PortName", L"COM250"}, {L"LogMode", L"730259"}});
  auto app = SwitchApp::Create(::GetModuleHandleW(nullptr), TargetMode::Harmoa, {});
  ASSERT_TRUE(app);
  HWND hwnd = app->hwnd();
  HWND log = ::GetDlgItem(hwnd, kIdLogPanel);
  ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(102, 0), 0);  // shown, as when a carer looks
  window_test::PumpUntil([] { return false; }, 200);

  app->window().AddLogLine(L"first");
  app->window().AddLogLine(L"second");
  ASSERT_TRUE(window_test::PumpUntil(
      [&] { return window_test::Text(log).find(L"second") != std::wstring::npos; }, 2000));
  const std::wstring shortLog = window_test::Text(log);
  EXPECT_LT(shortLog.find(L"\tfirst\r\n"), shortLog.find(L"\tsecond\r\n"));

  // Far more than the panel keeps: about 160,000 units in 4,000 lines, in four
  // bursts that each reach the panel.
  for (int burst = 0; burst < 4; ++burst) {
    for (int i = 0; i < 1000; ++i) {
      app->window().AddLogLine(L"line " + std::to_wstring(burst * 1000 + i) + L" " + std::wstring(20, L'x'));
    }
    const std::wstring last = L"line " + std::to_wstring(burst * 1000 + 999) + L" ";
    ASSERT_TRUE(window_test::PumpUntil(
        [&] { return window_test::Text(log).find(last) != std::wstring::npos; }, 5000));
  }
  const std::wstring longLog = window_test::Text(log);
  EXPECT_LE(longLog.size(), kLogPanelLimit);
  EXPECT_EQ(longLog.find(L"first"), std::wstring::npos) << "the oldest lines went";
  EXPECT_EQ(longLog[2], L':') << "the panel starts with a whole line: " << longLog.substr(0, 40);
  EXPECT_EQ(longLog.substr(longLog.size() - 2), L"\r\n");

  ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(window_test::PumpUntil([&] { return !::IsWindow(hwnd); }, 10000));
}

}  // namespace
}  // namespace tovira
