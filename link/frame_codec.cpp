#include "link/frame_codec.h"

namespace tovira {
namespace {

constexpr BitOrderTable kVelmoraOrder = {0x80, 0x10, 0x01, 0x20, 0x08, 0x40, 0x04, 0x02};
constexpr BitOrderTable kQuorandelOrder = {0x08, 0x01, 0x80, 0x20, 0x02, 0x40, 0x10, 0x04};
constexpr BitOrderTable kHarmoaOrder = {0x08, 0x20, 0x10, 0x80, 0x02, 0x40, 0x04, 0x01};

}  // namespace

const BitOrderTable& BitOrderTableFor(TargetMode mode) {
  switch (mode) {
    case TargetMode::Quorandel:
      return kQuorandelOrder;
    case TargetMode::Harmoa:
      return kHarmoaOrder;
    case TargetMode::Velmora:
      break;
  }
  return kVelmoraOrder;
}

std::uint8_t ReorderControlByte(std::uint8_t control, const BitOrderTable& table) {
  std::uint8_t reordered = 0;
  for (int j = 0; j < 8; ++j) {
    if ((control & table[j]) != 0) reordered = static_cast<std::uint8_t>(reordered | (1u << j));
  }
  return reordered;
}

std::uint8_t ScatterReorderedByte(std::uint8_t reordered, const BitOrderTable& table) {
  std::uint8_t control = 0;
  for (int j = 0; j < 8; ++j) {
    if ((reordered & (1u << j)) != 0) control = static_cast<std::uint8_t>(control | table[j]);
  }
  return control;
}

std::uint8_t RotateRight8(std::uint8_t value, int count) {
  const unsigned shift = static_cast<unsigned>(count) % 8u;
  if (shift == 0) return value;
  return static_cast<std::uint8_t>((value >> shift) | (value << (8u - shift)));
}

std::uint8_t RotateLeft8(std::uint8_t value, int count) {
  const unsigned shift = static_cast<unsigned>(count) % 8u;
  return RotateRight8(value, static_cast<int>((8u - shift) % 8u));
}

DecodedFrame DecodeFrame(TargetMode mode, std::uint8_t control, std::uint8_t stateByte) {
  const std::uint8_t reordered = ReorderControlByte(control, BitOrderTableFor(mode));
  DecodedFrame frame;
  frame.rotation = reordered >> 4;
  frame.tag = reordered & 0x0F;
  frame.state = SwitchState::FromByte(RotateRight8(stateByte, frame.rotation));
  return frame;
}

EncodedFrame EncodeFrame(TargetMode mode, SwitchState state, int rotation, int tag) {
  const auto reordered = static_cast<std::uint8_t>(((rotation & 0x0F) << 4) | (tag & 0x0F));
  EncodedFrame frame;
  frame.control = ScatterReorderedByte(reordered, BitOrderTableFor(mode));
  frame.state = RotateLeft8(state.byte(), rotation & 0x0F);
  return frame;
}

std::wstring FrameLogText(SwitchState state, int tag) {
  std::wstring text;
  text.reserve(12);
  for (int bit = 7; bit >= 0; --bit) text.push_back(((state.byte() >> bit) & 1) != 0 ? L'1' : L'0');
  text.push_back(L'\t');
  // "00" format: at least two digits; a tag never exceeds 15, but stay general.
  std::wstring digits = std::to_wstring(tag < 0 ? -tag : tag);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), L'0');
  if (tag < 0) digits.insert(0, 1, L'-');
  text += digits;
  text.push_back(L'\n');
  return text;
}

}  // namespace tovira
