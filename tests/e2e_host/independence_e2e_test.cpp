// The switch's path (port -> link -> block and navigator messages) waits for
// nothing else on the desktop: not a hung shell, not a window thread that does not
// run, and no private message number from another program changes what it does.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "tests/e2e_host/scenario.h"
#include "ui/control_ids.h"

namespace tovira::e2e {
namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The Linux processes of this prefix's explorer.exe (Wine's desktop and tray).
std::vector<pid_t> ShellProcesses() {
  std::vector<pid_t> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (FileText(entry.path() / "cmdline").find("explorer.exe") == std::string::npos) continue;
    const std::string environment = FileText(entry.path() / "environ");
    const std::string key = "WINEPREFIX=";
    for (std::size_t at = 0; at < environment.size(); at = environment.find('\0', at) + 1) {
      if (environment.compare(at, key.size(), key) != 0) continue;
      const std::string value = environment.substr(at + key.size()).c_str();
      std::error_code unequal;
      if (fs::equivalent(value, WineSession::Get().prefix(), unequal)) found.push_back(std::stoi(name));
      break;
    }
  }
  return found;
}

char ProcessState(pid_t pid) {
  const std::string stat = FileText("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t name = stat.rfind(')');
  return name == std::string::npos || name + 2 >= stat.size() ? '?' : stat[name + 2];
}

// The prefix's explorer.exe stopped with SIGSTOP while the guard lives, as a hung
// shell: every call to the tray waits. It runs again however the scope ends.
class StoppedShell {
 public:
  StoppedShell() : pids_(ShellProcesses()) {
    for (const pid_t pid : pids_) ::kill(pid, SIGSTOP);
  }
  ~StoppedShell() { Resume(); }
  StoppedShell(const StoppedShell&) = delete;
  StoppedShell& operator=(const StoppedShell&) = delete;

  bool stopped() const {
    const auto deadline = std::chrono::steady_clock::now() + Millis(5000);
    for (const pid_t pid : pids_) {
      while (ProcessState(pid) != 'T') {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(Millis(20));
      }
    }
    return !pids_.empty();
  }
  void Resume() {
    for (const pid_t pid : pids_) ::kill(pid, SIGCONT);
    pids_.clear();
  }

 private:
  std::vector<pid_t> pids_;
};

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

bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kScenarioWait;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(Millis(200));
  }
  return true;
}

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
