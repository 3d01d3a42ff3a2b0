#include "relay/target_relay.h"

#include <gtest/gtest.h>

#include <optional>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace tovira {
namespace {

class FakeRelayPlatform final : public RelayPlatform {
 public:
  volatile std::uint8_t* OpenBlock(const std::string& name, BlockOpenFailure& failure) override {
    openedName = name;
    failure = failWith;
    if (failWith != BlockOpenFailure::None) return nullptr;
    return block.data();
  }
  void CloseBlock() override {
    ++closes;
    atClose = BlockHex();
  }
  void ShowErrorBox(const std::wstring& text, const std::wstring& caption) override {
    boxes.push_back(caption + L"|" + text);
  }
  std::optional<NavigatorWindow> FindNavigator() override {
    ++lookups;
    if (!navigatorPresent) return std::nullopt;
    return NavigatorWindow{42};
  }
  void PostToNavigator(NavigatorWindow window, unsigned message, int wParam) override {
    EXPECT_EQ(window, NavigatorWindow{42});
    posts.push_back((message == kPressMessage     ? "press "
                     : message == kReleaseMessage ? "release "
                                                  : "? ") +
                    std::to_string(wParam));
  }
  std::optional<std::vector<std::wstring>> RunningImagePathsUpper() override {
    if (!processListReadable) return std::nullopt;
    return processes;
  }

  std::string BlockHex() const {
    std::string hex;
    char digits[3];
    for (std::uint8_t byte : block) {
      std::snprintf(digits, sizeof digits, "%02X", byte);
      hex += digits;
    }
    return hex;
  }

  alignas(8) std::array<std::uint8_t, 8> block{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  BlockOpenFailure failWith = BlockOpenFailure::None;
  std::string openedName;
  int closes = 0;
  std::string atClose;
  std::vector<std::wstring> boxes;
  bool navigatorPresent = true;
  int lookups = 0;
  std::vector<std::string> posts;
  bool processListReadable = true;
  std::vector<std::wstring> processes = {L"C:\\WINDOWS\\SYSTEM32\\EXPLORER.EXE"};
};

class TargetRelayTest : public testing::TestWithParam<TargetMode> {
 protected:
  TargetRelay MakeRelay(TargetMode mode) {
    return TargetRelay(mode, platform, [this](const std::wstring& line) { log.push_back(line); });
  }

  FakeRelayPlatform platform;
  std::vector<std::wstring> log;
};

TEST_F(TargetRelayTest, InitialisedBlockReadsZeroZeroThenFiller) {
  TargetRelay relay = MakeRelay(TargetMode::Quorandel);
  ASSERT_TRUE(relay.CreateBlock(BlockName(TargetMode::Quorandel)));
  EXPECT_EQ(platform.openedName, "QUORINDEX-SHARED-MEMORY");
  EXPECT_EQ(platform.BlockHex(), "0000FFFFFFFFFFFF");
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(TargetRelayTest, BlockNamesAndInterfaceProcessesPerMode) {
  EXPECT_EQ(BlockName(TargetMode::Velmora), "VELMORAX-SHARED-MEMORY");
  EXPECT_EQ(BlockName(TargetMode::Quorandel), "QUORINDEX-SHARED-MEMORY");
  EXPECT_EQ(BlockName(TargetMode::Harmoa), "VELMORAX-SHARED-MEMORY");
  EXPECT_EQ(InterfaceProcessImage(TargetMode::Velmora), L"VELMORAX.EXE");
  EXPECT_EQ(InterfaceProcessImage(TargetMode::Quorandel), L"QUORINSVC.EXE");
  EXPECT_EQ(InterfaceProcessImage(TargetMode::Harmoa), L"");
}

TEST_F(TargetRelayTest, MessagesAndBytesOfModeTwoSequences) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> states;
    std::vector<std::string> posts;
    std::string block;
  };
  const Case cases[] = {
      {"buttons 2 and 4 press the lowest", {0x0A}, {"press 1"}, "010AFFFFFFFFFFFF"},
      {"no button with the battery low releases", {0x02, 0x80}, {"press 1", "release 1"}, "0180FFFFFFFFFFFF"},
      {"battery low from the first frame releases as 0 does", {0x80}, {"release 0"}, "0180FFFFFFFFFFFF"},
      {"a spare bit alone releases too", {0x04, 0x20}, {"press 2", "release 2"}, "0120FFFFFFFFFFFF"},
      {"first frame 0 releases button 1", {0x00}, {"release 0"}, "0100FFFFFFFFFFFF"},
      {"release names the last press",
       {0x02, 0x03, 0x00},
       {"press 1", "press 0", "release 0"},
       "0100FFFFFFFFFFFF"},
      {"every repeat is posted",
       {0x04, 0x04, 0x00, 0x00},
       {"press 2", "press 2", "release 2", "release 2"},
       "0100FFFFFFFFFFFF"},
      {"bits 5 and 6 pass to the block", {0x61}, {"press 0"}, "0161FFFFFFFFFFFF"},
      {"battery with a button", {0x90}, {"press 4"}, "0190FFFFFFFFFFFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRelayPlatform fresh;
    platform = fresh;
    TargetRelay relay = MakeRelay(TargetMode::Quorandel);
    ASSERT_TRUE(relay.CreateBlock("QUORINDEX-SHARED-MEMORY"));
    for (std::uint8_t state : c.states) relay.RelayFrame(SwitchState::FromByte(state));
    EXPECT_EQ(platform.posts, c.posts);
    EXPECT_EQ(platform.BlockHex(), c.block);
  }
}

TEST_F(TargetRelayTest, LogLinesOfOneFrame) {
  TargetRelay relay = MakeRelay(TargetMode::Quorandel);
  relay.CreateBlock("QUORINDEX-SHARED-MEMORY");
  relay.RelayFrame(SwitchState::FromByte(0x0A));
  relay.RelayFrame(SwitchState::FromByte(0x00));
  EXPECT_EQ(log, (std::vector<std::wstring>{L"Post Quo ON :1", L"pStatus :0A", L"Post Quo OFF :1",
                                            L"pStatus :00"}));
}

TEST_F(TargetRelayTest, MissingNavigatorLeavesTheLastPressAlone) {
  TargetRelay relay = MakeRelay(TargetMode::Quorandel);
  relay.CreateBlock("QUORINDEX-SHARED-MEMORY");
  relay.RelayFrame(SwitchState::FromByte(0x01));
  platform.navigatorPresent = false;
  relay.RelayFrame(SwitchState::FromByte(0x04));  // lost: the navigator is not there
  EXPECT_EQ(platform.BlockHex(), "0104FFFFFFFFFFFF");
  platform.navigatorPresent = true;
  relay.RelayFrame(SwitchState::FromByte(0x00));
  EXPECT_EQ(platform.posts, (std::vector<std::string>{"press 0", "release 0"}));
  EXPECT_EQ(platform.lookups, 3) << "looked up anew on every frame";
}

TEST_P(TargetRelayTest, OtherModesWriteOnlyTheBlock) {
  const TargetMode mode = GetParam();
  TargetRelay relay = MakeRelay(mode);
  relay.CreateBlock(BlockName(mode));
  for (std::uint8_t state : std::initializer_list<std::uint8_t>{0x01, 0x00, 0x1F, 0x80})
    relay.RelayFrame(SwitchState::FromByte(state));
  relay.RelayConnection(false);
  EXPECT_TRUE(platform.posts.empty());
  EXPECT_EQ(platform.lookups, 0);
  EXPECT_EQ(platform.BlockHex(), "0080FFFFFFFFFFFF");
}
INSTANTIATE_TEST_SUITE_P(VelmoraAndHarmoa, TargetRelayTest,
                         testing::Values(TargetMode::Velmora, TargetMode::Harmoa));

TEST_F(TargetRelayTest, NoButtonOutlivesTheLinkAndTheConnectionByteFollowsThePort) {
  struct Case {
    TargetMode mode;
    std::vector<std::wstring> processes;
    bool listReadable;
    std::optional<std::uint8_t> writtenByOthers;  // the interface process's own state byte
    std::string afterDisconnect;
    std::string afterReopen;  // the next open may never carry the old press
    std::string afterExit;
  };
  const std::wstring velmorax = L"C:\\PROGRAM FILES\\VELMORA\\VELMORAX.EXE";
  const std::wstring quorinsvc = L"D:\\QUOR\\QUORINSVC.EXE";
  const Case cases[] = {
      {TargetMode::Velmora, {}, true, {}, "0080FFFFFFFFFFFF", "0180FFFFFFFFFFFF", "0000000000000000"},
      // The interface process keeps the block, but the buttons are let go (the battery bit stays).
      {TargetMode::Velmora, {velmorax}, true, {}, "0180FFFFFFFFFFFF", "0180FFFFFFFFFFFF", "0180FFFFFFFFFFFF"},
      {TargetMode::Quorandel,
       {quorinsvc},
       true,
       {},
       "0180FFFFFFFFFFFF",
       "0180FFFFFFFFFFFF",
       "0180FFFFFFFFFFFF"},
      {TargetMode::Velmora,
       {velmorax},
       true,
       0x05,
       "0105FFFFFFFFFFFF",
       "0105FFFFFFFFFFFF",
       "0105FFFFFFFFFFFF"},
      {TargetMode::Quorandel,
       {velmorax},
       true,
       {},
       "0080FFFFFFFFFFFF",
       "0180FFFFFFFFFFFF",
       "0000000000000000"},
      {TargetMode::Harmoa,
       {velmorax, quorinsvc},
       true,
       {},
       "0080FFFFFFFFFFFF",
       "0180FFFFFFFFFFFF",
       "0000000000000000"},
      {TargetMode::Velmora,
       {velmorax},
       false,
       {},
       "0080FFFFFFFFFFFF",
       "0180FFFFFFFFFFFF",
       "0000000000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ModeNumber(c.mode));
    FakeRelayPlatform fresh;
    platform = fresh;
    platform.processes = c.processes;
    platform.processListReadable = c.listReadable;
    TargetRelay relay = MakeRelay(c.mode);
    relay.CreateBlock(BlockName(c.mode));
    relay.RelayConnection(true);
    EXPECT_EQ(platform.BlockHex(), "0100FFFFFFFFFFFF");
    relay.RelayFrame(SwitchState::FromByte(0x83));
    if (c.writtenByOthers) platform.block[1] = *c.writtenByOthers;
    relay.RelayConnection(false);
    EXPECT_EQ(platform.BlockHex(), c.afterDisconnect);
    relay.RelayConnection(true);
    EXPECT_EQ(platform.BlockHex(), c.afterReopen);
    relay.RelayConnection(false);
    relay.ReleaseBlock();
    EXPECT_EQ(platform.BlockHex(), c.afterExit);
    EXPECT_EQ(platform.closes, 1);
    relay.RelayFrame(SwitchState::FromByte(0x01));  // nothing may write into the released block
    EXPECT_EQ(platform.BlockHex(), c.afterExit);
  }
}

// The end of the session releases the block first, while the link's thread may
// still relay a held button: the button is let go as the loss would, and no write
// reaches the block once it is released.
TEST_F(TargetRelayTest, ReleaseWhileTheLinkStillRelaysLetsGoOfTheButtonsAndWritesNoMore) {
  const struct {
    std::vector<std::wstring> processes;
    std::string afterExit;
  } cases[] = {
      {{}, "0000000000000000"},
      {{L"C:\\PROGRAM FILES\\VELMORA\\VELMORAX.EXE"}, "0180FFFFFFFFFFFF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.afterExit);
    FakeRelayPlatform fresh;
    platform = fresh;
    platform.processes = c.processes;
    TargetRelay relay(TargetMode::Velmora, platform, [](const std::wstring&) {});
    relay.CreateBlock(BlockName(TargetMode::Velmora));
    std::atomic<int> frames{0};
    std::atomic<bool> stop{false};
    std::thread link([&] {
      relay.RelayConnection(true);
      while (!stop) {
        relay.RelayFrame(SwitchState::FromByte(0x83));
        ++frames;
      }
    });
    const auto framesReach = [&](int count) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (frames < count && std::chrono::steady_clock::now() < until) std::this_thread::yield();
      return frames >= count;
    };
    EXPECT_TRUE(framesReach(100));
    relay.ReleaseBlock();
    EXPECT_TRUE(framesReach(frames + 100)) << "the link relays on after the release";
    stop = true;
    link.join();
    EXPECT_EQ(platform.atClose, c.afterExit);
    EXPECT_EQ(platform.BlockHex(), c.afterExit) << "nothing written after the release";
  }
}

TEST_F(TargetRelayTest, LosingTheLinkWhileAButtonIsHeldReleasesItInModeTwo) {
  TargetRelay relay = MakeRelay(TargetMode::Quorandel);
  relay.CreateBlock("QUORINDEX-SHARED-MEMORY");
  relay.RelayConnection(true);
  relay.RelayFrame(SwitchState::FromByte(0x84));  // button 3 held, battery low
  relay.RelayConnection(false);
  relay.RelayConnection(false);  // a second loss releases nothing more
  EXPECT_EQ(platform.posts, (std::vector<std::string>{"press 2", "release 2"}));
  EXPECT_EQ(platform.BlockHex(), "0080FFFFFFFFFFFF") << "the battery bit stays, the button goes";
}

TEST_F(TargetRelayTest, LosingTheLinkWithNoButtonHeldPostsNothing) {
  TargetRelay relay = MakeRelay(TargetMode::Quorandel);
  relay.CreateBlock("QUORINDEX-SHARED-MEMORY");
  relay.RelayFrame(SwitchState::FromByte(0x01));
  relay.RelayFrame(SwitchState::FromByte(0x00));
  relay.RelayFrame(SwitchState::FromByte(0x80));  // battery only: no button, a release as every such frame
  relay.RelayConnection(false);
  EXPECT_EQ(platform.posts, (std::vector<std::string>{"press 0", "release 0", "release 0"}))
      << "the loss itself posts nothing more";
}

TEST_F(TargetRelayTest, BlockThatCannotBeMadeShowsOneBoxAndTheRelayGoesOnWithoutIt) {
  for (auto failure : {BlockOpenFailure::CreateFailed, BlockOpenFailure::MapFailed}) {
    FakeRelayPlatform fresh;
    platform = fresh;
    platform.failWith = failure;
    TargetRelay relay = MakeRelay(TargetMode::Quorandel);
    EXPECT_FALSE(relay.CreateBlock("QUORINDEX-SHARED-MEMORY"));
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0], failure == BlockOpenFailure::MapFailed
                                     ? L"共有メモリーエラー|MapViewOfFile に失敗しました"
                                     : L"共有メモリーエラー|CreateFileMapping に失敗しました");
    relay.RelayConnection(true);
    relay.RelayFrame(SwitchState::FromByte(0x01));
    relay.RelayConnection(false);
    relay.ReleaseBlock();
    EXPECT_EQ(platform.BlockHex(), "1122334455667788") << "no write without a block";
    EXPECT_EQ(platform.posts, (std::vector<std::string>{"press 0", "release 0"})) << "messages still work";
  }
}

}  // namespace
}  // namespace tovira
