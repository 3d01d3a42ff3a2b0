#pragma once
// The switch's two-byte frame: a control byte in the mode's bit order (rotation
// count and frame tag once reordered) and a state byte rotated by that count.
// The frame carries no marker or checksum; pairing is the reader's business.

#include <array>
#include <cstdint>
#include <string>

#include "base/switch_state.h"
#include "base/target_mode.h"

namespace tovira {

// Entry j is the one-bit mask of the control-byte bit that becomes bit j of the
// reordered byte.
using BitOrderTable = std::array<std::uint8_t, 8>;

const BitOrderTable& BitOrderTableFor(TargetMode mode);

std::uint8_t ReorderControlByte(std::uint8_t control, const BitOrderTable& table);

// Inverse of ReorderControlByte: the control byte a sender puts on the wire.
std::uint8_t ScatterReorderedByte(std::uint8_t reordered, const BitOrderTable& table);

std::uint8_t RotateRight8(std::uint8_t value, int count);
std::uint8_t RotateLeft8(std::uint8_t value, int count);

struct DecodedFrame {
  SwitchState state;
  int rotation = 0;  // 0..15
  int tag = 0;       // 0..15, only logged
};

DecodedFrame DecodeFrame(TargetMode mode, std::uint8_t control, std::uint8_t stateByte);

struct EncodedFrame {
  std::uint8_t control = 0;
  std::uint8_t state = 0;
};

// What a switch (or a test sender) transmits for `state` with the given rotation
// count and tag (both 0..15; higher bits are ignored).
EncodedFrame EncodeFrame(TargetMode mode, SwitchState state, int rotation, int tag);

// The frame's log text: the state byte's eight bits from bit 7 down, a tab, the
// tag with two digits, a line feed.
std::wstring FrameLogText(SwitchState state, int tag);

}  // namespace tovira
