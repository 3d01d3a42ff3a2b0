// What the portable core costs per frame: decoding the two bytes, and the relay's
// decision (block writes, and in mode 2 the navigator message) against a platform
// that does nothing. Google Benchmark, native:  scripts/bench core

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "link/frame_codec.h"
#include "relay/target_relay.h"

namespace tovira {
namespace {

// Frames of every state with varied rotations and tags, as the switch sends them.
std::array<EncodedFrame, 256> Frames(TargetMode mode) {
  std::array<EncodedFrame, 256> frames{};
  for (int state = 0; state < 256; ++state) {
    frames[static_cast<std::size_t>(state)] =
        EncodeFrame(mode, static_cast<std::uint8_t>(state), state % 16, (state * 7) % 16);
  }
  return frames;
}

void DecodeOneFrame(benchmark::State& run) {
  const auto mode = static_cast<TargetMode>(run.range(0));
  const auto frames = Frames(mode);
  std::size_t i = 0;
  for (auto _ : run) {
    const EncodedFrame& frame = frames[i++ & 0xFF];
    benchmark::DoNotOptimize(DecodeFrame(mode, frame.control, frame.state));
  }
  run.SetItemsProcessed(run.iterations());
}
BENCHMARK(DecodeOneFrame)->Arg(1)->Arg(2)->Arg(3);

class QuietPlatform final : public RelayPlatform {
 public:
  volatile std::uint8_t* OpenBlock(const std::string&, BlockOpenFailure&) override { return block_.data(); }
  void CloseBlock() override {}
  void ShowErrorBox(const std::wstring&, const std::wstring&) override {}
  std::optional<NavigatorWindow> FindNavigator() override { return NavigatorWindow{1}; }
  void PostToNavigator(NavigatorWindow, unsigned, int wParam) override { benchmark::DoNotOptimize(wParam); }
  std::optional<std::vector<std::wstring>> RunningImagePathsUpper() override {
    return std::vector<std::wstring>{};
  }

 private:
  alignas(8) std::array<std::uint8_t, 8> block_{};
};

void RelayOneFrame(benchmark::State& run) {
  const auto mode = static_cast<TargetMode>(run.range(0));
  QuietPlatform platform;
  TargetRelay relay(mode, platform, [](const std::wstring& line) { benchmark::DoNotOptimize(line.data()); });
  relay.InitSharedMem(SharedMemoryName(mode));
  int state = 0;
  for (auto _ : run) {
    relay.ToggleSwitch(state);
    state = state == 0 ? 0x05 : 0;  // press and release in turn, as a user does
  }
  run.SetItemsProcessed(run.iterations());
}
BENCHMARK(RelayOneFrame)->Arg(1)->Arg(2)->Arg(3);

}  // namespace
}  // namespace tovira

BENCHMARK_MAIN();
