// The status window answers the keyboard as a dialog does: Tab walks the controls
// in their order, a mnemonic presses its control, Esc puts the window away.

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "tests/ui/status_window_test_support.h"
#include "ui/control_ids.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

// What the program's message loop does with a key message for the window.
bool Deliver(HWND window, HWND target, UINT message, WPARAM key) {
  MSG msg{target, message, key, 0, 0, {}};
  return ::IsDialogMessageW(window, &msg) != 0;
}

class StatusWindowKeyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = window_test::StartLoadedWindow(handler_, true);  // the log mode: every control
    ASSERT_TRUE(window_);
    hwnd_ = window_->hwnd();
    ::SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(kCmdTest, 0), 0);  // 動作テスト(&T)
  }
  void TearDown() override { EXPECT_TRUE(window_test::CloseWindow(hwnd_)); }
  window_test::RecordingHandler handler_;
  std::unique_ptr<StatusWindow> window_;
  HWND hwnd_ = nullptr;
};

TEST_F(StatusWindowKeyboard, TabWalksTheControlsInTheirOrder) {
  std::vector<int> walk;
  HWND at = ::GetDlgItem(hwnd_, kIdDeviceList);
  for (int step = 0; step < 7; ++step) {
    walk.push_back(::GetDlgCtrlID(at));
    at = ::GetNextDlgTabItem(hwnd_, at, FALSE);
  }
  // As on the screen, top to bottom: the device list, OK, the port check box, the
  // log's clear button and panel, then round again to 更新 above the list.
  EXPECT_EQ(walk, (std::vector<int>{kIdDeviceList, kIdOK, kIdPortNotSave, kIdClearLog, kIdLogPanel,
                                    kIdRefresh, kIdDeviceList}));
}

TEST_F(StatusWindowKeyboard, AMnemonicPressesItsControl) {
  HWND box = ::GetDlgItem(hwnd_, kIdPortNotSave);
  const LRESULT before = ::SendMessageW(box, BM_GETCHECK, 0, 0);
  EXPECT_TRUE(Deliver(hwnd_, ::GetDlgItem(hwnd_, kIdDeviceList), WM_SYSCHAR, L'p'));  // Alt+P
  EXPECT_TRUE(window_test::PumpUntil([&] { return ::SendMessageW(box, BM_GETCHECK, 0, 0) != before; }, 2000));
}

TEST_F(StatusWindowKeyboard, EscapeAltF4AndTheTaskbarsClosePutTheWindowAway) {
  ASSERT_TRUE(::IsWindowVisible(hwnd_));
  EXPECT_EQ(::GetWindow(hwnd_, GW_OWNER), nullptr) << "shown, it has its task-bar button";
  EXPECT_EQ(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_TRUE(Deliver(hwnd_, ::GetDlgItem(hwnd_, kIdDeviceList), WM_KEYDOWN, VK_ESCAPE));
  EXPECT_TRUE(window_test::PumpUntil([&] { return !::IsWindowVisible(hwnd_); }, 2000));

  // Alt+F4 and the taskbar's Close arrive as the system command: the same as OK,
  // and the program runs on.
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(window_test::PumpUntil([&] { return !::IsWindowVisible(hwnd_); }, 2000));
  EXPECT_TRUE(::IsWindow(hwnd_));
  EXPECT_TRUE(handler_.closings.empty()) << "no closing ran";
}

}  // namespace
}  // namespace tovira
