// The switch's path: the target is written before the window hears of a report,
// and each of the port's lines lights its own lamp.

#include "app/switch_route.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace tovira {
namespace {

class BlockOnlyPlatform final : public RelayPlatform {
 public:
  volatile std::uint8_t* OpenBlock(const std::string&, BlockOpenFailure&) override { return block.data(); }
  void CloseBlock() override {}
  void ShowErrorBox(const std::wstring&, const std::wstring&) override {}
  std::optional<NavigatorWindow> FindNavigator() override { return std::nullopt; }
  void PostToNavigator(NavigatorWindow, unsigned, int) override {}
  std::optional<std::vector<std::wstring>> RunningImagePathsUpper() override { return std::nullopt; }

  alignas(8) std::array<std::uint8_t, 8> block{};
};

TEST(SwitchRoute, TheTargetIsWrittenBeforeTheWindowHearsAndEachLineLightsItsOwnLamp) {
  BlockOnlyPlatform platform;
  TargetRelay relay(TargetMode::Harmoa, platform, [](const std::wstring&) {});
  ASSERT_TRUE(relay.CreateBlock(BlockName(TargetMode::Harmoa)));
  using Bytes = std::array<std::uint8_t, 2>;
  std::vector<Bytes> blockAtWake;  // bytes 0 and 1 as the window is woken
  StatusFeed feed(
      [&] {
        blockAtWake.push_back({platform.block[0], platform.block[1]});
        return true;
      },
      [] { return LocalTimeOfDay{}; });
  feed.SetWindowShown(true);
  MovedPortWatch watch(
      kMovedPortPatience, [] { return MovedPortWatch::TimePoint{}; }, [] {});
  SwitchRoute route(relay, feed, watch);

  route.PortOpen(true);
  feed.Take();
  route.Frame(SwitchState::FromByte(0x05));
  feed.Take();
  route.PortOpen(false);
  EXPECT_EQ(blockAtWake, (std::vector<Bytes>{{1, 0x00}, {1, 0x05}, {0, 0x00}}));

  bool LineStates::*const lines[] = {&LineStates::open, &LineStates::cd,  &LineStates::dsr,
                                     &LineStates::dtr,  &LineStates::rts, &LineStates::cts};
  bool LineLamps::*const lamps[] = {&LineLamps::open, &LineLamps::cd,  &LineLamps::dsr,
                                    &LineLamps::dtr,  &LineLamps::rts, &LineLamps::cts};
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    LineStates one;
    one.*lines[i] = true;
    feed.Take();
    route.Lines(one);
    LineLamps lit;
    lit.*lamps[i] = true;
    EXPECT_EQ(feed.Take().lines, lit) << "line " << i;
  }
}

}  // namespace
}  // namespace tovira
