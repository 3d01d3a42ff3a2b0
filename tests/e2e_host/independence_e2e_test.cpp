// The switch's path (port -> link -> block and navigator messages) waits for
// nothing else on the desktop: not a hung shell, not a window thread that does not
// run, and no private message number from another program changes what it does.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/e2e_host/scenario.h"
#include "tests/e2e_host/stopped_shell.h"
#include "ui/control_ids.h"

namespace tovira::e2e {
namespace {

// Tovira's window thread suspended from outside (window_probe freeze-window) while
// the guard lives, as a window thread that is busy or stuck; it runs again however
// the scope ends (the probe resumes it when its input closes).
class FrozenWindowThread {
 public:
  FrozenWindowThread()
      : probe_(WineSession::Get().StartWindowsProgram(
            {WineSession::Get().Win64Tool("tools/window_probe.exe"), "freeze-window", "110000"})) {
    const auto line = probe_.ReadLine(kScenarioWait);
    held_ = line && JsonField(*line, "suspended");
  }
  ~FrozenWindowThread() { Release(); }
  FrozenWindowThread(const FrozenWindowThread&) = delete;
  FrozenWindowThread& operator=(const FrozenWindowThread&) = delete;

  bool held() const { return held_; }
  // True when the probe resumed the thread and ended in order.
  bool Release() {
    if (!held_) return false;
    held_ = false;
    probe_.CloseInput();
    const auto resumed = probe_.ReadLine(kScenarioWait);
    return resumed && JsonField(*resumed, "resumed") && probe_.Wait(kScenarioWait) == 0;
  }

 private:
  ChildProcess probe_;
  bool held_ = false;
};

std::vector<std::string> ButtonSizes() {
  std::vector<std::string> sizes;
  sizes.reserve(5);
  for (int i = 0; i < 5; ++i) {
    sizes.push_back(WineSession::Get().Probe({"rect", std::to_string(kIdButton1 + i)}).value_or(""));
  }
  return sizes;
}

TEST(HungShell, PressesTheDropoutAndTheReconnectReachTheTargetWhileExplorerIsStopped) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  {
    StoppedShell shell;
    ASSERT_TRUE(shell.stopped()) << "the prefix's explorer.exe was found and stopped";
    ASSERT_TRUE(scenario.Switch("press 2"));
    ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x02), kScenarioWait)) << "the press";
    ASSERT_TRUE(scenario.Switch("dsr off"));
    ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kScenarioWait))
        << "the dropout (byte 0 falls): " << monitor.LastBlock();
    ASSERT_TRUE(scenario.Switch("dsr on"));
    ASSERT_TRUE(scenario.WaitConnected()) << "the reconnect: " << monitor.LastBlock();
    ASSERT_TRUE(scenario.Switch("press 4"));
    ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x08), kScenarioWait)) << "the press after it";
    monitor.Collect(Millis(300));
    EXPECT_EQ(monitor.NavigatorMessages(), (std::vector<std::string>{"press 1", "release 1", "press 3"}));
  }
  // The shell runs again: whatever Tovira had for it goes through, and nothing broke.
  const auto ended = scenario.tovira().Wait(Millis(2000));
  ASSERT_FALSE(ended) << "Tovira ended with status " << ended.value_or(-1);
  EXPECT_TRUE(WineSession::Get().Probe({"log"})) << "the window answers";
  EXPECT_EQ(scenario.CloseTovira(), 0);
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait)) << "the block released at the exit";
}

TEST(StuckWindowThread, PressesTheDropoutAndTheReconnectReachTheTargetAndTheWindowCatchesUp) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  {
    FrozenWindowThread frozen;
    ASSERT_TRUE(frozen.held()) << "Tovira's window thread is suspended";
    const struct {
      const char* command;
      std::string block;
    } steps[] = {
        {"press 1", ConnectedBlock(0x01)},
        {"release", ConnectedBlock(0x00)},
        {"press 3", ConnectedBlock(0x04)},
        {"dsr off", "0000FFFFFFFFFFFF"},  // the dropout while button 3 is held lets it go
    };
    for (const auto& step : steps) {
      ASSERT_TRUE(scenario.Switch(step.command));
      ASSERT_TRUE(monitor.WaitForBlock(step.block, kScenarioWait))
          << step.command << ": " << monitor.LastBlock();
    }
    ASSERT_TRUE(scenario.Switch("dsr on"));
    ASSERT_TRUE(scenario.WaitConnected()) << "the reconnect: " << monitor.LastBlock();
    ASSERT_TRUE(scenario.Switch("press 5"));
    ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x10), kScenarioWait)) << "the press after it";
    monitor.Collect(Millis(300));
    EXPECT_EQ(monitor.NavigatorMessages(),
              (std::vector<std::string>{"press 0", "release 0", "press 2", "release 2", "press 4"}));
    ASSERT_TRUE(frozen.Release()) << "the window thread runs again";
  }
  // Running again, the window answers and shows what happened meanwhile.
  const std::vector<std::string> fifthHeld = {"20x20", "20x20", "20x20", "20x20", "22x20"};
  EXPECT_TRUE(Eventually([&] { return ButtonSizes() == fifthHeld; })) << "the pictures catch up";
  std::string log;
  EXPECT_TRUE(Eventually([&] {
    log = scenario.Log();
    return Occurrences(log, "COM21接続済") == 2 && log.find("00010000\t") != std::string::npos;
  })) << "the log catches up: "
      << log;
  EXPECT_EQ(scenario.CloseTovira(), 0);
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait)) << "the block released at the exit";
}

TEST(ForeignMessages, PrivateMessagesWithJunkParametersAndAQuitFromAnotherProgramChangeNothing) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  const auto sent = WineSession::Get().Probe({"foreign-messages"}, Millis(60000));
  ASSERT_TRUE(sent) << "the probe ran to its end";
  EXPECT_EQ(JsonField(*sent, "complete"), "true") << *sent;
  EXPECT_EQ(JsonField(*sent, "quitPosted"), "true") << *sent;
  EXPECT_EQ(JsonField(*sent, "windowGone"), "false") << *sent;
  const auto ended = scenario.tovira().Wait(Millis(1000));
  ASSERT_FALSE(ended) << "Tovira ended with status " << ended.value_or(-1) << " after " << *sent;
  monitor.Collect(Millis(300));
  EXPECT_EQ(monitor.LastBlock(), ConnectedBlock(0x00)) << "the block is untouched";
  ASSERT_TRUE(scenario.Switch("press 2"));
  EXPECT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x02), kScenarioWait)) << monitor.LastBlock();
  ASSERT_TRUE(scenario.Switch("release"));
  EXPECT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x00), kScenarioWait)) << monitor.LastBlock();
  monitor.Collect(Millis(300));
  EXPECT_EQ(monitor.NavigatorMessages(), (std::vector<std::string>{"press 1", "release 1"}));
  EXPECT_TRUE(WineSession::Get().Probe({"log"})) << "the window answers";
  EXPECT_EQ(scenario.CloseTovira(), 0);
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait)) << "the block released at the exit";
}

}  // namespace
}  // namespace tovira::e2e
