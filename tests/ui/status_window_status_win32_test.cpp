// What a frame shows on the status window: the five button pictures and the
// battery picture, frame after frame, repeats included.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/ui/status_window_test_support.h"
#include "ui/control_ids.h"

namespace tovira {
namespace {

HBITMAP PictureOf(HWND window, int id) {
  return reinterpret_cast<HBITMAP>(::SendMessageW(::GetDlgItem(window, id), STM_GETIMAGE, IMAGE_BITMAP, 0));
}

TEST(StatusWindowStatus, ButtonAndBatteryPicturesFollowEveryFrame) {
  window_test::RecordingHandler handler;
  auto window = window_test::StartLoadedWindow(handler, false);
  ASSERT_TRUE(window);
  HWND hwnd = window->hwnd();
  window->ShowConnected(true);
  const HBITMAP good = PictureOf(hwnd, kIdConnectedLamp);
  window->ShowSwitchState(SwitchState::FromByte(0x01));
  const HBITMAP pressed = PictureOf(hwnd, kIdButton1);
  const HBITMAP released = PictureOf(hwnd, kIdButton1 + 1);
  ASSERT_NE(pressed, nullptr);
  ASSERT_NE(released, nullptr);
  ASSERT_NE(pressed, released);

  struct Case {
    std::uint8_t state;
    const char* buttons;  // button 1 first: 1 = pressed
    bool batteryLow;
  };
  const Case cases[] = {
      {0x1F, "11111", false}, {0x15, "10101", false}, {0x15, "10101", false},  // a repeat
      {0x0A, "01010", false}, {0x80, "00000", true},  {0x9F, "11111", true},
      {0x9F, "11111", true},  {0x60, "00000", false}, {0x00, "00000", false},
  };
  for (const Case& c : cases) {
    window->ShowSwitchState(SwitchState::FromByte(c.state));
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(PictureOf(hwnd, kIdButton1 + i), c.buttons[i] == '1' ? pressed : released)
          << "state " << int{c.state} << ", button " << i + 1;
    }
    EXPECT_EQ(PictureOf(hwnd, kIdBattery) != good, c.batteryLow) << "state " << int{c.state};
    EXPECT_NE(PictureOf(hwnd, kIdBattery), nullptr);
  }

  // A loss shows the not-connected picture and no button held.
  window->ShowSwitchState(SwitchState::FromByte(0x04));
  window->ShowConnected(false);
  EXPECT_NE(PictureOf(hwnd, kIdBattery), good);
  EXPECT_EQ(PictureOf(hwnd, kIdBattery), PictureOf(hwnd, kIdConnectedLamp));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(PictureOf(hwnd, kIdButton1 + i), released) << "button " << i + 1;

  // Hidden, the window is not woken for each frame; shown, it catches up at once.
  ::ShowWindow(hwnd, SW_HIDE);
  window->feed()->PortOpen(true);
  window->feed()->Frame(SwitchState::FromByte(0x02));
  ::ShowWindow(hwnd, SW_SHOWNA);
  EXPECT_EQ(PictureOf(hwnd, kIdButton1 + 1), pressed) << "the frame that came while hidden";

  EXPECT_TRUE(window_test::CloseWindow(hwnd));
}

}  // namespace
}  // namespace tovira
