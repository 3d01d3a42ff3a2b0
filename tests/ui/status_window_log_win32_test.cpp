// The status window's log panel: lines reach it within a tenth of a
// second, in order, and it keeps the newest lines when it grows long.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/ui/status_window_test_support.h"
#include "ui/control_ids.h"
#include "ui/window_messages_win32.h"
#include "base/log_format.h"

namespace tovira {
namespace {

TEST(StatusWindowLog, LinesArriveInOrderAndTheNewestAreKept) {
  window_test::RecordingHandler handler;
  auto window = window_test::StartLoadedWindow(handler, true);
  ASSERT_TRUE(window);
  HWND hwnd = window->hwnd();
  HWND log = ::GetDlgItem(hwnd, kIdLogPanel);
  ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(kCmdTest, 0), 0);  // shown, as when a carer looks

  window->AddLogLine(L"first");
  window->AddLogLine(L"second");
  ASSERT_TRUE(window_test::PumpUntil(
      [&] { return window_test::Text(log).find(L"second") != std::wstring::npos; }, 2000));
  const std::wstring shortLog = window_test::Text(log);
  EXPECT_LT(shortLog.find(L"\tfirst\r\n"), shortLog.find(L"\tsecond\r\n"));

  // Far more than the panel keeps: about 160,000 units in 4,000 lines, in four
  // bursts that each reach the panel.
  for (int burst = 0; burst < 4; ++burst) {
    for (int i = 0; i < 1000; ++i) {
      window->AddLogLine(L"line " + std::to_wstring(burst * 1000 + i) + L" " + std::wstring(20, L'x'));
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

  EXPECT_TRUE(window_test::CloseWindow(hwnd));
}

}  // namespace
}  // namespace tovira
