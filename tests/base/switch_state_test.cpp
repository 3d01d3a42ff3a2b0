#include "base/switch_state.h"

#include <gtest/gtest.h>

#include <optional>

namespace tovira {
namespace {

TEST(SwitchState, ReadsTheButtonsAndTheBatteryAndKeepsTheSpareBits) {
  const struct {
    std::uint8_t byte;
    const char* buttons;  // button 5 first, as the bits stand
    std::optional<int> lowest;
    bool batteryLow;
    std::uint8_t withoutButtons;
  } cases[] = {
      {0x00, "00000", std::nullopt, false, 0x00},
      {0x0C, "01100", 2, false, 0x00},
      {0x9F, "11111", 0, true, 0x80},
      {0x60, "00000", std::nullopt, false, 0x60},
      {0xF0, "10000", 4, true, 0xE0},
      {0x80, "00000", std::nullopt, true, 0x80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int{c.byte});
    const SwitchState state = SwitchState::FromByte(c.byte);
    EXPECT_EQ(state.byte(), c.byte);
    EXPECT_EQ(state.buttons().to_string(), c.buttons);
    EXPECT_EQ(state.anyPressed(), c.lowest.has_value());
    EXPECT_EQ(state.lowestPressed(), c.lowest);
    EXPECT_EQ(state.batteryLow(), c.batteryLow);
    EXPECT_EQ(state.WithoutButtons().byte(), c.withoutButtons);
    EXPECT_EQ(state.WithBatteryLow(!c.batteryLow).byte(), c.byte ^ 0x80);
    EXPECT_EQ(SwitchState::Of(state.buttons(), c.batteryLow).byte(), c.byte & 0x9F);
  }
  EXPECT_EQ(SwitchState(), SwitchState::FromByte(0x00));
}

}  // namespace
}  // namespace tovira
