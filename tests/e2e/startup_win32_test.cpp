// Start-up as the user meets it: one hidden window titled "トヴィラ", one copy only.

#include <gtest/gtest.h>

#include "tests/e2e/harness_win32.h"
#include "ui/ui_texts.h"

namespace tovira::e2e {
namespace {

constexpr DWORD kStartTimeoutMs = 15000;

const std::wstring kTitle(texts::kWindowTitle);

class StartupTest : public testing::TestWithParam<int> {
 protected:
  void TearDown() override {
    for (ChildProcess* child : {&second_, &first_}) child->Terminate();
  }

  // Starts Tovira of the mode under test and waits until its load handler has hidden it.
  HWND StartFirst() {
    first_ = ChildProcess::Start(ToviraExePath(GetParam()));
    EXPECT_TRUE(first_.started()) << "cannot start " << ::GetLastError();
    HWND window = WaitForTopWindow(first_.pid(), kTitle, kStartTimeoutMs);
    EXPECT_NE(window, nullptr) << "no window titled トヴィラ";
    if (window != nullptr) {
      EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(window); }, kStartTimeoutMs))
          << "window stays visible";
    }
    return window;
  }

  ChildProcess first_;
  ChildProcess second_;
};

TEST_P(StartupTest, StartsHiddenAndEndsWhenItsWindowCloses) {
  HWND window = StartFirst();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(::GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU, 0) << "no caption buttons";
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(first_.WaitForExit(kStartTimeoutMs), 0u);
}

TEST_P(StartupTest, SecondStartSaysSoAndLeavesTheFirstRunning) {
  HWND window = StartFirst();
  ASSERT_NE(window, nullptr);

  second_ = ChildProcess::Start(ToviraExePath(GetParam()));
  ASSERT_TRUE(second_.started());
  HWND box = WaitForTopWindow(second_.pid(), texts::kAlreadyRunningCaption, kStartTimeoutMs, L"#32770");
  ASSERT_NE(box, nullptr) << "no message box captioned 二重起動はできません。";

  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(box) != FALSE; }, kStartTimeoutMs));
  bool textShown = false;
  int buttons = 0;
  for (HWND child : ChildWindows(box)) {
    if (WindowText(child) == texts::kAlreadyRunning) textShown = true;
    if (::_wcsicmp(ClassNameOf(child).c_str(), L"Button") == 0 && ::IsWindowVisible(child)) ++buttons;
  }
  EXPECT_TRUE(textShown) << "message text トヴィラは起動されています。 missing";
  EXPECT_EQ(buttons, 1) << "one OK button";
  HWND okButton = ::GetDlgItem(box, IDOK);
  ASSERT_NE(okButton, nullptr);
  EXPECT_EQ(second_.WaitForExit(300), std::nullopt) << "the second copy waits for the box to be dismissed";

  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(okButton));
  EXPECT_EQ(second_.WaitForExit(kStartTimeoutMs), 0u);
  EXPECT_EQ(FindTopWindow(second_.pid(), kTitle), nullptr) << "the second copy built no window";

  EXPECT_TRUE(first_.Running());
  EXPECT_EQ(FindTopWindow(first_.pid(), kTitle), window);
}

INSTANTIATE_TEST_SUITE_P(EachTargetMode, StartupTest, testing::Values(1, 2, 3),
                         [](const testing::TestParamInfo<int>& modeInfo) {
                           return "Mode" + std::to_string(modeInfo.param);
                         });

}  // namespace
}  // namespace tovira::e2e
