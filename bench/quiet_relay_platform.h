// A relay platform that does nothing but hold the block: what the relay's own
// decision costs, without the system's calls.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/frame_codec.h"
#include "relay/target_relay.h"

namespace tovira {

class QuietRelayPlatform final : public RelayPlatform {
 public:
  volatile std::uint8_t* OpenBlock(const std::string&, BlockOpenFailure&) override { return block_.data(); }
  void CloseBlock() override {}
  void ShowErrorBox(const std::wstring&, const std::wstring&) override {}
  std::optional<NavigatorWindow> FindNavigator() override { return NavigatorWindow{1}; }
  void PostToNavigator(NavigatorWindow, unsigned, int wParam) override { posted_ = posted_ + wParam; }
  std::optional<std::vector<std::wstring>> RunningImagePathsUpper() override {
    return std::vector<std::wstring>{};
  }

 private:
  alignas(8) std::array<std::uint8_t, 8> block_{};
  volatile int posted_ = 0;  // keeps the message's argument from being optimised away
};

// Frames of every state with varied rotations and tags, as the switch sends them.
inline std::array<EncodedFrame, 256> FramesOfEveryState(TargetMode mode) {
  std::array<EncodedFrame, 256> frames{};
  for (int state = 0; state < 256; ++state) {
    frames[static_cast<std::size_t>(state)] = EncodeFrame(
        mode, SwitchState::FromByte(static_cast<std::uint8_t>(state)), state % 16, (state * 7) % 16);
  }
  return frames;
}

}  // namespace tovira
