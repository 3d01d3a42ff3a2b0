// The whole chain: virtual switch -> port -> Tovira -> block and navigator messages.

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "tests/e2e_host/scenario.h"
#include "tests/e2e_host/wine_session.h"
#include "tools/virtual_switch/expected_messages.h"

namespace tovira::e2e {
namespace {

constexpr Millis kWait = kScenarioWait;

class EveryMode : public testing::TestWithParam<int> {};

TEST_P(EveryMode, ButtonsChordsBatteryAndSpareBitsReachTheTarget) {
  Scenario scenario(GetParam());
  scenario.WriteSettings();
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kWait)) << "the block after start-up";
  ASSERT_TRUE(scenario.WaitConnected());

  const int states[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x00, 0x05, 0x1F, 0x80, 0x81, 0x20, 0x40, 0x60, 0x00};
  tools::ExpectedNavigatorMessages expected;
  for (int state : states) {
    char command[32];
    std::snprintf(command, sizeof command, "state 0x%02X", state);
    ASSERT_TRUE(scenario.Switch(command));
    ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(state), kWait)) << command;
    expected.Frame(state);
  }
  monitor.Collect(Millis(300));
  EXPECT_EQ(monitor.NavigatorMessages(), GetParam() == 2 ? expected.messages() : std::vector<std::string>{});
  EXPECT_EQ(scenario.CloseTovira(), 0);
}
INSTANTIATE_TEST_SUITE_P(Modes, EveryMode, testing::Values(1, 2, 3),
                         [](const testing::TestParamInfo<int>& mode) {
                           return "Mode" + std::to_string(mode.param);
                         });

TEST(Link, DsrOffDisconnectsAndDsrOnReconnectsDroppingWhatQueued) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  ASSERT_TRUE(scenario.Switch("press 1"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x01), kWait));

  ASSERT_TRUE(scenario.Switch("dsr off"));
  ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kWait)) << "byte 0 falls, the button is let go";
  ASSERT_TRUE(scenario.Switch("press 3"));  // sent while the port is closed: never relayed

  ASSERT_TRUE(scenario.Switch("dsr on"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x00), kWait)) << "reconnected, no old press";
  ASSERT_TRUE(scenario.Switch("press 4"));  // within the connect wait: dropped
  std::this_thread::sleep_for(Millis(1300));
  ASSERT_TRUE(scenario.Switch("press 5"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x10), kWait));
  monitor.Collect(Millis(200));
  // The release on the loss: the navigator must not keep a button that nobody holds.
  EXPECT_EQ(monitor.NavigatorMessages(), (std::vector<std::string>{"press 0", "release 0", "press 4"}));
  const std::string log = scenario.Log();
  EXPECT_NE(log.find("COM21接続済"), std::string::npos);
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(Link, VanishedPortThatReturnsIsRelayedAgainWithoutAnyoneActing) {
  Scenario scenario(3);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  ASSERT_TRUE(scenario.Switch("vanish"));
  ASSERT_TRUE(monitor.WaitForConnected(false, kWait)) << scenario.Log() << monitor.LastBlock();
  std::string log;
  std::size_t failure = std::string::npos;
  EXPECT_TRUE(Eventually([&] {
    log = scenario.Log();
    failure = log.find("シリアルポートから読み込めません。");
    return failure != std::string::npos && log.find("COM21接続中...", failure) != std::string::npos;
  })) << "the connect loop runs again after the failure: "
      << log;
  ASSERT_NE(failure, std::string::npos) << log;
  EXPECT_NE(log.substr(failure).find_first_not_of("\r\n", 51), std::string::npos)
      << "the system's text follows";

  // Back under the same name; Windows announces the port, as the probe does here.
  ASSERT_TRUE(scenario.Switch("return"));
  ASSERT_TRUE(WineSession::Get().Probe({"port-arrival"}));
  ASSERT_TRUE(scenario.WaitConnected()) << scenario.Log();
  ASSERT_TRUE(scenario.Switch("press 3"));
  EXPECT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x04), kWait));
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(Link, ResumeFromSleepOpensThePortAnewAndTheSwitchWorksOn) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  ASSERT_TRUE(WineSession::Get().Probe({"resume"}));
  ASSERT_TRUE(monitor.WaitForConnected(false, kWait)) << "the link closed at once";
  ASSERT_TRUE(scenario.WaitConnected()) << scenario.Log();
  ASSERT_TRUE(scenario.Switch("press 2"));
  EXPECT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x02), kWait));
  EXPECT_EQ(Occurrences(scenario.Log(), "COM21接続済"), 2) << scenario.Log();
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(Relay, InterfaceProcessKeepsTheBlockInModeOneButNoButtonStaysHeld) {
  Scenario scenario(1);
  scenario.WriteSettings();
  TargetMonitor& monitor = scenario.StartMonitor({}, "tools/VELMORAX/VELMORAX.EXE");
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(scenario.WaitConnected());
  ASSERT_TRUE(scenario.Switch("press 2"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x02), kWait));
  ASSERT_TRUE(scenario.Switch("dsr off"));
  EXPECT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x00), kWait)) << monitor.LastBlock();
  EXPECT_EQ(scenario.CloseTovira(), 0);
  monitor.Collect(Millis(300));
  EXPECT_EQ(monitor.LastBlock(), ConnectedBlock(0x00))
      << "the dropout let button 2 go; byte 0 stays the interface process's, and the exit left the block "
         "alone";
}

TEST(Relay, ExitZeroesTheBlockAndWritesTheSettingsInOrder) {
  Scenario scenario(3);
  WineSession::Get().RemoveSettings();
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kWait));
  EXPECT_EQ(scenario.CloseTovira(), 0);
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kWait));
  const auto settings = WineSession::Get().ReadSettings();
  ASSERT_TRUE(settings);
  EXPECT_EQ(*settings, "[Settings]\r\nPortName=\r\nPortNotSave=0\r\nShowNotBalloon=0\r\n");
}

TEST(Relay, ExitWithAKnownDeviceWritesItsNameFirst) {
  Scenario scenario(2);
  WineSession::Get().RemoveSettings();
  WineSession::Get().WriteSettings({{"PortName", scenario.portName()}, {"DeviceName", "スイッチ-7"}});
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(monitor.WaitForBlock("0100FFFFFFFFFFFF", kWait));
  EXPECT_EQ(scenario.CloseTovira(), 0);
  const auto settings = WineSession::Get().ReadSettings();
  ASSERT_TRUE(settings);
  EXPECT_EQ(*settings,
            "[Settings]\r\nPortName=COM21\r\nDeviceName=スイッチ-7\r\nPortNotSave=0\r\nShowNotBalloon=0\r\n");
}

TEST(Relay, BlockCreatedFirstByTheTargetIsUsed) {
  Scenario scenario(2);
  scenario.WriteSettings();
  TargetMonitor& monitor = scenario.StartMonitor({"--create"});
  const auto ready = monitor.WaitFor("ready", kWait);
  ASSERT_TRUE(ready);
  EXPECT_EQ(JsonField(*ready, "created"), "true");
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kWait));
  ASSERT_TRUE(scenario.WaitConnected());
  ASSERT_TRUE(scenario.Switch("press 3"));
  EXPECT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x04), kWait));
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(Relay, BlockThatCannotBeCreatedShowsOneBoxAndTheProgramRunsOn) {
  Scenario scenario(2);
  scenario.WriteSettings();
  ChildProcess squatter = WineSession::Get().StartWindowsProgram(
      {WineSession::Get().Win64Tool("tests/block_writer.exe"), "--squat", "2", "--sleep", "60000"});
  ASSERT_EQ(squatter.ReadLine(kWait), "squatting");
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(monitor.WaitFor("window", kWait));
  scenario.tovira() = WineSession::Get().StartWindowsProgram({WineSession::Get().ToviraExe(2)});
  const auto box = WineSession::Get().Probe({"dismiss", "共有メモリーエラー", "15000"});
  ASSERT_TRUE(box);
  EXPECT_NE(box->find("CreateFileMapping に失敗しました"), std::string::npos) << *box;
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "15000"})) << "the program runs on";
  EXPECT_FALSE(WineSession::Get().Probe({"dismiss", "共有メモリーエラー", "500"})) << "only one box";
  ASSERT_TRUE(monitor.WaitFor("press", Millis(100)) == std::nullopt);
  // No block shows when the link is up; a press in the connect wait is dropped,
  // so it is pressed again until it comes through.
  std::optional<std::string> press;
  EXPECT_TRUE(Eventually([&] {
    return scenario.Switch("press 2") && (press = monitor.WaitFor("press", Millis(500))).has_value();
  }));
  ASSERT_TRUE(press) << "messages still reach the navigator";
  EXPECT_EQ(JsonField(*press, "wParam"), "1");
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

// The box's own loop hands Tovira's window what arrives meanwhile. An arrival and
// a resume before the program has loaded wake nothing; a close is carried out
// once the start-up is done, in the load's place: the program ends by itself, in order.
TEST(Relay, ArrivalResumeAndCloseDuringTheBlocksErrorBoxEndTheProgramInOrderAfterIt) {
  Scenario scenario(2);
  scenario.WriteSettings();
  ChildProcess squatter = WineSession::Get().StartWindowsProgram(
      {WineSession::Get().Win64Tool("tests/block_writer.exe"), "--squat", "2", "--sleep", "60000"});
  ASSERT_EQ(squatter.ReadLine(kWait), "squatting");
  scenario.tovira() = WineSession::Get().StartWindowsProgram({WineSession::Get().ToviraExe(2)});
  ASSERT_TRUE(WineSession::Get().Probe({"dialog", "共有メモリーエラー", "15000"}));
  EXPECT_TRUE(WineSession::Get().Probe({"port-arrival"}));
  EXPECT_TRUE(WineSession::Get().Probe({"resume"}));
  EXPECT_TRUE(WineSession::Get().Probe({"close"}));
  ASSERT_TRUE(WineSession::Get().Probe({"dismiss", "共有メモリーエラー", "15000"}));
  EXPECT_EQ(scenario.tovira().Wait(kWait), 0);
  const auto settings = WineSession::Get().ReadSettings();
  ASSERT_TRUE(settings);
  EXPECT_NE(settings->find("PortNotSave=0\r\n"), std::string::npos)
      << "saved at the orderly end: " << *settings;
}

TEST(Relay, LogOffSavesTheSettingsAndReleasesTheBlockBeforeTheProcessEnds) {
  Scenario scenario(2);
  WineSession::Get().RemoveSettings();
  WineSession::Get().WriteSettings({{"PortName", scenario.portName()}, {"DeviceName", "SW-LOGOFF"}});
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(scenario.WaitConnected());
  ASSERT_TRUE(scenario.Switch("press 1"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x01), kScenarioWait));
  // Windows ends the process right after WM_ENDSESSION: by then all must be done.
  ASSERT_TRUE(WineSession::Get().Probe({"endsession"}));
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait));
  const auto settings = WineSession::Get().ReadSettings();
  ASSERT_TRUE(settings);
  EXPECT_EQ(*settings,
            "[Settings]\r\nPortName=COM21\r\nDeviceName=SW-LOGOFF\r\nPortNotSave=0\r\nShowNotBalloon=0\r\n");
  scenario.tovira().Kill();  // as the system would
}

}  // namespace
}  // namespace tovira::e2e
