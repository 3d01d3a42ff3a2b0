// Runs the core's per-frame work a given number of times, for callgrind to count
// instructions: scripts/bench-instructions runs it at two frame counts and divides
// the difference, so start-up and set-up cancel out.
//   tovira_core_instructions decode|relay MODE FRAMES

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/quiet_relay_platform.h"
#include "link/frame_codec.h"
#include "relay/target_relay.h"

namespace tovira {
namespace {

int Decode(TargetMode mode, long frames) {
  const auto encoded = FramesOfEveryState(mode);
  volatile int sum = 0;  // the decoding must happen
  for (long i = 0; i < frames; ++i) {
    const EncodedFrame& frame = encoded[static_cast<std::size_t>(i) & 0xFF];
    sum = sum + DecodeFrame(mode, frame.control, frame.state).state.byte();
  }
  return sum == -1 ? 1 : 0;
}

// A press and a release in turn, as a user makes them.
int Relay(TargetMode mode, long frames) {
  QuietRelayPlatform platform;
  std::size_t logged = 0;
  TargetRelay relay(mode, platform, [&logged](const std::wstring& line) { logged += line.size(); });
  relay.CreateBlock(BlockName(mode));
  for (long i = 0; i < frames; ++i) relay.RelayFrame(SwitchState::FromByte(i % 2 == 0 ? 0x05 : 0));
  return logged == 0 ? 1 : 0;
}

}  // namespace
}  // namespace tovira

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tovira_core_instructions decode|relay MODE FRAMES\n");
    return 2;
  }
  const std::string what = argv[1];
  const auto mode = static_cast<tovira::TargetMode>(std::atoi(argv[2]));
  const long frames = std::atol(argv[3]);
  if (what == "decode") return tovira::Decode(mode, frames);
  if (what == "relay") return tovira::Relay(mode, frames);
  return 2;
}
