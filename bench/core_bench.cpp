// What the portable core costs per frame: decoding the two bytes, and the relay's
// decision (block writes, and in mode 2 the navigator message) against a platform
// that does nothing. Google Benchmark, native:  scripts/bench core

#include <benchmark/benchmark.h>

#include "bench/quiet_relay_platform.h"
#include "link/frame_codec.h"
#include "relay/target_relay.h"

namespace tovira {
namespace {

void DecodeOneFrame(benchmark::State& run) {
  const auto mode = static_cast<TargetMode>(run.range(0));
  const auto frames = FramesOfEveryState(mode);
  std::size_t i = 0;
  for (auto _ : run) {
    const EncodedFrame& frame = frames[i++ & 0xFF];
    benchmark::DoNotOptimize(DecodeFrame(mode, frame.control, frame.state));
  }
  run.SetItemsProcessed(run.iterations());
}
BENCHMARK(DecodeOneFrame)->Arg(1)->Arg(2)->Arg(3);

void RelayOneFrame(benchmark::State& run) {
  const auto mode = static_cast<TargetMode>(run.range(0));
  QuietRelayPlatform platform;
  TargetRelay relay(mode, platform, [](const std::wstring& line) { benchmark::DoNotOptimize(line.data()); });
  relay.CreateBlock(BlockName(mode));
  const SwitchState press = SwitchState::FromByte(0x05);
  SwitchState state;
  for (auto _ : run) {
    relay.RelayFrame(state);
    state = state == SwitchState() ? press : SwitchState();  // press and release in turn, as a user does
  }
  run.SetItemsProcessed(run.iterations());
}
BENCHMARK(RelayOneFrame)->Arg(1)->Arg(2)->Arg(3);

}  // namespace
}  // namespace tovira

BENCHMARK_MAIN();
