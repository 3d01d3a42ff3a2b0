#pragma once
// The switch's state as one frame carries it: which of the five buttons are
// down and whether the battery is low. The byte travels whole, its spare bits
// 5-6 included, so that the target's block holds exactly what the switch sent.

#include <bitset>
#include <cstdint>
#include <optional>

#include "include/tovira_relay.h"

namespace tovira {

class SwitchState {
 public:
  static constexpr int kButtons = 5;
  // Bit i is button i + 1.
  using Buttons = std::bitset<kButtons>;

  // No button down, the battery fine.
  constexpr SwitchState() = default;
  // The byte as the frame and the block carry it.
  static constexpr SwitchState FromByte(std::uint8_t byte) { return SwitchState(byte); }
  static SwitchState Of(Buttons buttons, bool batteryLow) {
    return SwitchState(static_cast<std::uint8_t>(buttons.to_ulong() | (batteryLow ? kBatteryLowBit : 0u)));
  }

  constexpr std::uint8_t byte() const { return byte_; }
  Buttons buttons() const { return Buttons(byte_ & kButtonBits); }
  constexpr bool anyPressed() const { return (byte_ & kButtonBits) != 0; }
  // The index (0-4) of the lowest button down: the one a press names.
  constexpr std::optional<int> lowestPressed() const {
    for (int index = 0; index < kButtons; ++index) {
      if ((byte_ & TOVIRA_STATE_BUTTON(index)) != 0) return index;
    }
    return std::nullopt;
  }
  constexpr bool batteryLow() const { return (byte_ & kBatteryLowBit) != 0; }
  // The same state with every button up: what a lost link leaves behind.
  constexpr SwitchState WithoutButtons() const { return SwitchState(byte_ & ~kButtonBits & 0xFFu); }
  // The same state with the battery as given.
  constexpr SwitchState WithBatteryLow(bool low) const {
    return SwitchState((byte_ & ~kBatteryLowBit & 0xFFu) | (low ? kBatteryLowBit : 0u));
  }

  friend constexpr bool operator==(SwitchState, SwitchState) = default;

 private:
  static constexpr unsigned kButtonBits = TOVIRA_STATE_BUTTONS;
  static constexpr unsigned kBatteryLowBit = TOVIRA_STATE_BATTERY_LOW;

  constexpr explicit SwitchState(unsigned byte) : byte_(static_cast<std::uint8_t>(byte)) {}

  std::uint8_t byte_ = 0;
};

}  // namespace tovira
