// Faults and bad input under Wine: settings files that make no sense or cannot be
// written, a switch that flaps, vanishes or goes mid-frame, a hung or changing
// target, Explorer restarting, an exit while an open blocks.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <unistd.h>

#include "tests/e2e_host/scenario.h"

namespace tovira::e2e {
namespace {

namespace fs = std::filesystem;

std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string GarbageBytes() {
  std::mt19937 random(7);
  std::string garbage(4096, '\0');
  for (char& byte : garbage) byte = static_cast<char>(random());
  return garbage;
}

TEST(BadSettings, SettingsFilesThatMakeNoSenseGiveTheDefaultsAndTheProgramRunsAndEnds) {
  const std::u16string longJapanese(300, u'\u30C8');  // ト
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"binary garbage", GarbageBytes()},
      {"no [Settings] section", Utf16File(u"[Other]\r\nPortName=COM21\r\nLogMode=730259\r\n")},
      {"300-unit Japanese and ASCII values",
       Utf16File(u"[Settings]\r\nDeviceName=" + longJapanese + u"\r\nPortName=COM" +
                 std::u16string(300, u'9') + u"\r\nLogMode=" + longJapanese + u"\r\n")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scenario scenario(2);
    const fs::path file = WineSession::Get().SettingsFile();
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.bytes;
    TargetMonitor& monitor = scenario.StartMonitor();
    ASSERT_TRUE(scenario.StartTovira()) << "no window";
    std::this_thread::sleep_for(Millis(1500));
    EXPECT_EQ(scenario.CloseTovira(), 0);
    EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait)) << "the block is released";
  }
}

TEST(BadSettings, ReadOnlyFileEndsTheProgramInOrder) {
  Scenario scenario(2);
  scenario.WriteSettings({{"PortNotSave", "0"}});
  const fs::path file = WineSession::Get().SettingsFile();
  const std::string before = FileBytes(file);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(scenario.WaitConnected());
  EXPECT_EQ(scenario.CloseTovira(), 0) << "a settings file that cannot be written ends nothing badly";
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait))
      << "the block is released all the same";
  // Permission bits do not hold back root, as the CI machines run.
  if (::geteuid() != 0) {
    EXPECT_EQ(FileBytes(file), before);
  }
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

TEST(LinkFaults, DsrFlappingAThousandTimesEndsConnectedWithTheRightState) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  std::mt19937 random(11);
  std::uniform_int_distribution<int> pause(1, 30);
  for (int flap = 0; flap < 1000; ++flap) {
    ASSERT_TRUE(scenario.Switch(flap % 2 == 0 ? "dsr off" : "dsr on"));
    std::this_thread::sleep_for(Millis(pause(random)));
  }
  ASSERT_TRUE(scenario.Switch("dsr on"));
  // A reconnect takes its attempt pause, the settle pause and the connect wait,
  // which drops a press: it is pressed again until it comes through.
  EXPECT_TRUE(Eventually([&] {
    return scenario.Switch("press 3") && monitor.WaitForBlock(ConnectedBlock(0x04), Millis(500));
  })) << monitor.LastBlock();
  ASSERT_TRUE(scenario.Switch("release"));
  EXPECT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x00), kScenarioWait)) << monitor.LastBlock();
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(TargetFaults, AHungNavigatorWindowHoldsNothingUp) {
  Scenario scenario(2);
  scenario.WriteSettings();
  TargetMonitor& monitor = scenario.StartMonitor({"--hung-window"});
  ASSERT_TRUE(monitor.WaitFor("window", kScenarioWait));
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(scenario.WaitConnected());
  // Messages to the hung window pile up in its queue; the block keeps following.
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(scenario.Switch("press " + std::to_string(round % 5 + 1)));
    ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(1 << (round % 5)), kScenarioWait)) << round;
    ASSERT_TRUE(scenario.Switch("release"));
    ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x00), kScenarioWait)) << round;
  }
  EXPECT_EQ(scenario.CloseTovira(), 0) << "the exit is not held up either";
}

TEST(LinkFaults, SwitchVanishingMidBurstLeavesNoButtonHeld) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  // An odd count ends on a press. The frames queue in the port (Tovira takes a
  // few hundred a second): the switch goes once the first of them has arrived.
  ASSERT_TRUE(scenario.Switch("burst 2001"));
  ASSERT_TRUE(monitor.WaitFor("press", kScenarioWait)) << "the burst began to arrive";
  ASSERT_TRUE(scenario.Switch("vanish"));
  ASSERT_TRUE(monitor.WaitForConnected(false, Millis(60000)))
      << "the loss reached the block: " << monitor.LastBlock();
  monitor.Collect(Millis(500));
  std::string lastMessage;
  int presses = 0;
  int releases = 0;
  for (const std::string& line : monitor.lines()) {
    const auto event = JsonField(line, "event");
    if (event == "press") ++presses;
    if (event == "release") ++releases;
    if (event == "press" || event == "release") lastMessage = *event;
  }
  EXPECT_GT(presses, 0);
  EXPECT_EQ(lastMessage, "release") << presses << " presses, " << releases << " releases";
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(LinkFaults, LinkLostMidFrameWhileAButtonIsHeldReleasesItAndTheNextConnectionRealigns) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  ASSERT_TRUE(scenario.Switch("press 3"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x04), kScenarioWait));
  // Half of the next frame is on its way when the switch goes out of range.
  ASSERT_TRUE(scenario.Switch("half"));
  ASSERT_TRUE(scenario.Switch("dsr off"));
  ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kScenarioWait)) << "the loss";
  ASSERT_TRUE(scenario.Switch("dsr on"));
  ASSERT_TRUE(scenario.WaitConnected());
  // The stray byte must not pair with the first byte of the next frame.
  ASSERT_TRUE(scenario.Switch("press 2"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x02), kScenarioWait))
      << "the first frame after the return";
  ASSERT_TRUE(scenario.Switch("release"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x00), kScenarioWait));
  monitor.Collect(Millis(200));
  EXPECT_EQ(monitor.NavigatorMessages(),
            (std::vector<std::string>{"press 2", "release 2", "press 1", "release 1"}));
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(LinkFaults, ADriverThatCompletesReadsEmptyStillRelaysEveryFrameWithoutALoss) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  const EmptyReads emptyReads;
  const struct {
    const char* command;
    int state;
  } steps[] = {
      {"press 1", 0x01}, {"release", 0x00}, {"press 3", 0x04}, {"press 2 4", 0x0A}, {"release", 0x00}};
  for (const auto& step : steps) {
    ASSERT_TRUE(scenario.Switch(step.command));
    ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(step.state), kScenarioWait))
        << step.command << ": " << monitor.LastBlock();
  }
  monitor.Collect(Millis(300));
  EXPECT_EQ(monitor.NavigatorMessages(),
            (std::vector<std::string>{"press 0", "release 0", "press 2", "press 1", "release 1"}));
  const std::string log = scenario.Log();
  EXPECT_EQ(Occurrences(log, "受信を確かめます"), 1) << "said once: " << log;
  EXPECT_EQ(Occurrences(log, "読み込めません"), 0) << "no read counted as a loss: " << log;
  EXPECT_EQ(Occurrences(log, "COM21接続中"), 1) << "connected once: " << log;
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(LinkFaults, MissingPortIsTriedAboutEveryHalfSecond) {
  Scenario scenario(2);
  WineSession::Get().WriteSettings({{"DeviceName", "SW-E2E"}, {"PortName", "COM250"}, {"LogMode", "730259"}});
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  monitor.Collect(Millis(3000));
  EXPECT_EQ(monitor.LastBlock().substr(0, 2), "00");
  const std::string log = scenario.Log();
  const int attempts = Occurrences(log, "COM250接続中...");
  const int refusals = Occurrences(log, "COM250をオープンできません。");
  // Three seconds hold five or six attempts at half a second each plus the open.
  EXPECT_GE(attempts, 3) << log;
  EXPECT_LE(attempts, 7) << log;
  EXPECT_GE(refusals, attempts - 1) << "each attempt ends with its line: " << log;
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(TargetFaults, InterfaceProcessStartingAndEndingWhileToviraRuns) {
  Scenario scenario(1);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  const auto lastByteZero = [&] {
    monitor.Collect(Millis(1500));
    return monitor.LastBlock().substr(0, 2);
  };

  // It starts: a lost switch leaves the block to it.
  TargetMonitor interfaceProcess = TargetMonitor::Start(1, {}, "tools/VELMORAX/VELMORAX.EXE");
  ASSERT_TRUE(interfaceProcess.WaitFor("ready", kScenarioWait));
  ASSERT_TRUE(scenario.Switch("dsr off"));
  EXPECT_EQ(lastByteZero(), "01") << "the interface process keeps the block";
  ASSERT_TRUE(scenario.Switch("dsr on"));
  ASSERT_TRUE(Eventually([&] { return Occurrences(scenario.Log(), "COM21接続済") == 2; })) << scenario.Log();

  // It ends: the next loss shows in the block again.
  interfaceProcess.Stop();
  std::this_thread::sleep_for(Millis(1000));
  ASSERT_TRUE(scenario.Switch("dsr off"));
  EXPECT_EQ(lastByteZero(), "00") << "without it, the loss clears byte 0";
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(PlatformEvents, ExplorerRestartBringsTheTrayIconBack) {
  Scenario scenario(3);
  WineSession::Get().RemoveSettings();
  scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  // The tray's own thread adds the icon (and puts it back) in its own time.
  const auto present = [] { return WineSession::Get().Probe({"tray"}).value_or("") == "{\"icon\":true}"; };
  EXPECT_TRUE(Eventually(present)) << "the icon is there after start-up";
  // A restarted Explorer has lost every icon and announces "TaskbarCreated".
  EXPECT_EQ(WineSession::Get().Probe({"explorer-restart"}).value_or(""), "{\"dropped\":true}");
  EXPECT_TRUE(Eventually(present)) << "Tovira put its icon back";
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(LinkFaults, ExitDuringAnOpenThatBlocksTenSecondsEndsWithinItsBound) {
  Scenario scenario(2);
  scenario.WriteSettings();
  TargetMonitor& monitor = scenario.StartMonitor();
  BlockedOpen blocked(10000);
  ASSERT_TRUE(scenario.StartTovira());
  monitor.Collect(Millis(3000));  // without the block, the port would be open within a second
  ASSERT_EQ(monitor.LastBlock().substr(0, 2), "00") << "the open is blocked";
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(WineSession::Get().Probe({"close"}));
  const auto status = scenario.tovira().Wait(Millis(9000));
  const auto took = std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start);
  ASSERT_TRUE(status) << "the exit waited for the blocked open";
  EXPECT_EQ(*status, 0);
  // The stop waits 3 s for the worker, then the settings and the block follow.
  EXPECT_LT(took.count(), 8000) << took.count() << " ms";
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait)) << "the block was released";
  EXPECT_TRUE(WineSession::Get().ReadSettings()) << "the settings were written";
}

}  // namespace
}  // namespace tovira::e2e
