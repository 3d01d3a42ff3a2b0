// One pick in the status window's device list reaches the handler once, however
// the list announces it.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/ui/status_window_test_support.h"
#include "ui/control_ids.h"

namespace tovira {
namespace {

void Notify(HWND window, HWND list, WORD code) {
  ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(kIdDeviceList, code), reinterpret_cast<LPARAM>(list));
}

TEST(StatusWindowDeviceList, OnePickReachesTheHandlerOnce) {
  window_test::RecordingHandler handler;
  auto window = StatusWindow::Create(::GetModuleHandleW(nullptr), handler);
  ASSERT_TRUE(window);
  HWND list = ::GetDlgItem(window->hwnd(), kIdDeviceList);
  window->AddToDeviceList(L"SW-1", false);
  window->AddToDeviceList(L"SW-2", true);
  window->AddToDeviceList(L"SW-3", false);
  EXPECT_TRUE(handler.chosen.empty()) << "the program's selection is no pick";

  // A mouse pick of SW-1 whose list reports the acceptance and then the change.
  ::SendMessageW(list, CB_SETCURSEL, 0, 0);
  Notify(window->hwnd(), list, CBN_SELENDOK);
  Notify(window->hwnd(), list, CBN_SELCHANGE);
  EXPECT_EQ(handler.chosen, (std::vector<std::wstring>{L"0:SW-1"}));

  // One key press on the closed list, through the list itself.
  ::SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_TRUE(window_test::PumpUntil([&] { return handler.chosen.size() > 1; }, 2000));
  EXPECT_EQ(::SendMessageW(list, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(handler.chosen, (std::vector<std::wstring>{L"0:SW-1", L"1:SW-2"}));
}

}  // namespace
}  // namespace tovira
