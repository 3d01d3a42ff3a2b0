#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include "tests/link/reference_decoder.h"

#include <array>
#include <cstdint>
#include <string>

namespace tovira {
namespace {

struct WorkedFrame {
  TargetMode mode;
  std::uint8_t control;
  std::uint8_t stateByte;
  int rotation;
  int tag;
  int state;
  const wchar_t* log;
};

constexpr TargetMode kV = TargetMode::Velmora;
constexpr TargetMode kQ = TargetMode::Quorandel;
constexpr TargetMode kH = TargetMode::Harmoa;

const WorkedFrame kWorkedFrames[] = {
    {kV, 0x00, 0x05, 0, 0, 0x05, L"00000101\t00\n"},    // buttons 1 and 3
    {kV, 0x08, 0x02, 1, 0, 0x01, L"00000001\t00\n"},    // button 1
    {kV, 0x02, 0x02, 8, 0, 0x02, L"00000010\t00\n"},    // count 8 leaves the byte
    {kV, 0xFF, 0x81, 15, 15, 0x03, L"00000011\t15\n"},  // buttons 1 and 2
    {kV, 0x80, 0x01, 0, 1, 0x01, L"00000001\t01\n"},    // tag 1
    {kV, 0x00, 0x80, 0, 0, 0x80, L"10000000\t00\n"},    // battery low
    {kQ, 0x00, 0x1F, 0, 0, 0x1F, L"00011111\t00\n"},    // all five buttons
    {kQ, 0x04, 0x01, 8, 0, 0x01, L"00000001\t00\n"},   {kQ, 0x02, 0x02, 1, 0, 0x01, L"00000001\t00\n"},
    {kH, 0x02, 0x02, 1, 0, 0x01, L"00000001\t00\n"},   {kH, 0x01, 0x03, 8, 0, 0x03, L"00000011\t00\n"},
    {kV, 0x40, 0x01, 2, 0, 0x40, L"01000000\t00\n"},  // bit 6 only, in every mode
    {kQ, 0x40, 0x01, 2, 0, 0x40, L"01000000\t00\n"},   {kH, 0x40, 0x01, 2, 0, 0x40, L"01000000\t00\n"},
};

TEST(FrameCodec, DecodesTheWorkedFrames) {
  for (const WorkedFrame& row : kWorkedFrames) {
    SCOPED_TRACE(testing::Message() << "mode " << ModeNumber(row.mode) << " control " << int{row.control}
                                    << " state byte " << int{row.stateByte});
    const DecodedFrame frame = DecodeFrame(row.mode, row.control, row.stateByte);
    EXPECT_EQ(frame.rotation, row.rotation);
    EXPECT_EQ(frame.tag, row.tag);
    EXPECT_EQ(frame.state.byte(), row.state);
    EXPECT_EQ(FrameLogText(frame.state, frame.tag), row.log);
  }
}

TEST(FrameCodec, SameFrameDecodesByTheModeInForce) {
  EXPECT_EQ(DecodeFrame(kV, 0x02, 0x02).state.byte(), 0x02);
  EXPECT_EQ(DecodeFrame(kQ, 0x02, 0x02).state.byte(), 0x01);
  EXPECT_EQ(DecodeFrame(kH, 0x02, 0x02).state.byte(), 0x01);
}

TEST(FrameCodec, ZeroControlBytePassesTheStateThrough) {
  for (TargetMode mode : kTargetModes) {
    for (int stateByte = 0; stateByte < 256; ++stateByte) {
      EXPECT_EQ(DecodeFrame(mode, 0x00, static_cast<std::uint8_t>(stateByte)).state.byte(), stateByte);
    }
  }
}

TEST(FrameCodec, LogTextKeepsTwoDigitTags) {
  EXPECT_EQ(FrameLogText(SwitchState::FromByte(0x05), 3), L"00000101\t03\n");
  EXPECT_EQ(FrameLogText(SwitchState::FromByte(0xFF), 12), L"11111111\t12\n");
  EXPECT_EQ(FrameLogText(SwitchState::FromByte(0x00), 0), L"00000000\t00\n");
}

TEST(FrameCodec, EveryModeStateRotationAndTagRoundTrips) {
  for (TargetMode mode : kTargetModes) {
    std::array<int, 256> controlSeen{};
    for (int rotation = 0; rotation < 16; ++rotation) {
      for (int tag = 0; tag < 16; ++tag) {
        for (int state = 0; state < 256; ++state) {
          const EncodedFrame wire =
              EncodeFrame(mode, SwitchState::FromByte(static_cast<std::uint8_t>(state)), rotation, tag);
          const reference::Frame reference =
              reference::Decode(ModeNumber(mode) - 1, wire.control, wire.state);
          const DecodedFrame decoded = DecodeFrame(mode, wire.control, wire.state);
          if (reference.state != state || reference.rotation != rotation || reference.tag != tag ||
              decoded.state.byte() != state || decoded.rotation != rotation || decoded.tag != tag) {
            FAIL() << "mode " << ModeNumber(mode) << " state " << state << " rotation " << rotation << " tag "
                   << tag << " -> control " << int{wire.control} << " state byte " << int{wire.state};
          }
          if (state == 0) ++controlSeen[wire.control];
        }
      }
    }
    // Each (rotation, tag) pair must use its own control byte.
    for (int count : controlSeen) ASSERT_EQ(count, 1);
  }
}

}  // namespace
}  // namespace tovira
