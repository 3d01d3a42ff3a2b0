// The status window moved between monitors of different scaling: every
// control, font and picture follows, and the pictures shown stay the same.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "tests/ui/status_window_test_support.h"
#include "ui/control_ids.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

RECT ClientRectOf(HWND control) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int WidthOf(HWND control) {
  const RECT rect = ClientRectOf(control);
  return rect.right - rect.left;
}

LONG FontHeightOf(HWND control) {
  auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW description{};
  if (font == nullptr || ::GetObjectW(font, sizeof(description), &description) == 0) return 0;
  return description.lfHeight;
}

void MoveToDpi(HWND window, UINT dpi) {
  RECT outer{};
  ::GetWindowRect(window, &outer);
  ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&outer));
}

TEST(StatusWindowScaling, ControlsFontsAndPicturesFollowTheMonitorsScaling) {
  window_test::RecordingHandler handler;
  auto window = window_test::StartLoadedWindow(handler, true);
  ASSERT_TRUE(window);
  HWND hwnd = window->hwnd();
  window->ShowSwitchState(SwitchState::FromByte(0x01));  // button 1 down, the others up

  struct Case {
    UINT dpi;
    RECT ok;  // "&OK": (85, 173) in the frame at (8, 7), 75 x 32 at 96 DPI
    int pressedWidth, releasedWidth, lampWidth;
    LONG fontHeight;  // 9 pt
  };
  const Case cases[] = {
      {192, {186, 360, 336, 424}, 44, 40, 20, -24}, {144, {140, 270, 253, 318}, 33, 30, 15, -18},
      {120, {116, 225, 210, 265}, 28, 25, 13, -15},  // pictures of 125 %
      {168, {163, 315, 294, 371}, 39, 35, 18, -21},  // pictures of 175 %
      {96, {93, 180, 168, 212}, 22, 20, 10, -12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dpi);
    MoveToDpi(hwnd, c.dpi);
    const RECT ok = ClientRectOf(::GetDlgItem(hwnd, kIdOK));
    EXPECT_EQ(ok.left, c.ok.left);
    EXPECT_EQ(ok.top, c.ok.top);
    EXPECT_EQ(ok.right, c.ok.right);
    EXPECT_EQ(ok.bottom, c.ok.bottom);
    EXPECT_EQ(WidthOf(::GetDlgItem(hwnd, kIdButton1)), c.pressedWidth) << "the pressed picture stays shown";
    EXPECT_EQ(WidthOf(::GetDlgItem(hwnd, kIdButton1 + 4)), c.releasedWidth);
    EXPECT_EQ(WidthOf(::GetDlgItem(hwnd, kIdConnectedLamp)), c.lampWidth);
    EXPECT_EQ(FontHeightOf(::GetDlgItem(hwnd, kIdOK)), c.fontHeight);
    EXPECT_EQ(FontHeightOf(::GetDlgItem(hwnd, kIdTitle)), -::MulDiv(1125, static_cast<int>(c.dpi), 7200))
        << "the title keeps its own bold 11.25 pt";
  }

  EXPECT_TRUE(window_test::CloseWindow(hwnd));
}

TEST(StatusWindowScaling, TheLogModeWindowIsTwiceAsTallAsTheDesign) {
  for (const bool logMode : {false, true}) {
    SCOPED_TRACE(logMode);
    window_test::RecordingHandler handler;
    auto window = window_test::StartWindow(handler, logMode);
    ASSERT_TRUE(window);
    HWND hwnd = window->hwnd();
    // The window starts minimized: its size is the one it shows when restored.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    ::GetWindowPlacement(hwnd, &placement);
    const RECT outer = placement.rcNormalPosition;
    RECT design{0, 0, 256, 289};
    ::AdjustWindowRectExForDpi(&design, kMainWindowStyle, FALSE, 0, ::GetDpiForWindow(hwnd));
    EXPECT_EQ(outer.right - outer.left, design.right - design.left);
    // No taller than the work area: the test desktop is smaller than twice the design.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int expected = (design.bottom - design.top) * (logMode ? 2 : 1);
    EXPECT_EQ(outer.bottom - outer.top, std::min(expected, static_cast<int>(work.bottom - work.top)));
    EXPECT_EQ(::IsWindowVisible(::GetDlgItem(hwnd, kIdLogPanel)) != 0 ||
                  (::GetWindowLongW(::GetDlgItem(hwnd, kIdLogPanel), GWL_STYLE) & WS_VISIBLE) != 0,
              logMode);
    EXPECT_TRUE(window_test::CloseWindow(hwnd));
  }
}

TEST(StatusWindowScaling, TheLogModeWindowStaysWithinTheWorkAreaAndItsPanelWithinTheWindow) {
  window_test::RecordingHandler handler;
  auto window = window_test::StartLoadedWindow(handler, true);
  ASSERT_TRUE(window);
  HWND hwnd = window->hwnd();
  ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(kCmdTest, 0), 0);  // 動作テスト(&T)
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor));
  const RECT work = monitor.rcWork;  // 580 pixels tall on the test desktop
  for (const UINT dpi : {192U, 96U}) {
    SCOPED_TRACE(dpi);
    // The system's suggestion: the log-mode window at this scaling, twice the
    // design's height (some 1,250 pixels at 200 %), from the work area's top.
    RECT suggested{0, 0, ::MulDiv(256, static_cast<int>(dpi), 96), ::MulDiv(289, static_cast<int>(dpi), 96)};
    ::AdjustWindowRectExForDpi(&suggested, kMainWindowStyle, FALSE, 0, dpi);
    ::OffsetRect(&suggested, work.left - suggested.left, work.top - suggested.top);
    suggested.bottom += suggested.bottom - suggested.top;
    ASSERT_GT(suggested.bottom, work.bottom);
    ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT outer{};
    ::GetWindowRect(hwnd, &outer);
    EXPECT_GE(outer.left, work.left);
    EXPECT_GE(outer.top, work.top);
    EXPECT_LE(outer.right, work.right);
    EXPECT_LE(outer.bottom, work.bottom);
  }
  // At 100 % the log panel ends within the window, shorter than designed, and scrolls.
  RECT client{};
  ::GetClientRect(hwnd, &client);
  const RECT panel = ClientRectOf(::GetDlgItem(hwnd, kIdLogPanel));
  EXPECT_LE(panel.bottom, client.bottom);
  EXPECT_LT(panel.bottom - panel.top, 269);
  EXPECT_GT(panel.bottom - panel.top, 100);
  EXPECT_TRUE(window_test::CloseWindow(hwnd));
}

}  // namespace
}  // namespace tovira
