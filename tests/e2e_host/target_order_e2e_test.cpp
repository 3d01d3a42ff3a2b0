// The write order of docs/INTEGRATION.md as a target sees it: a recorded run of
// the target monitor held against the rules by the example checker
// (tools/target_order_check.py), and the checker's verdict on a recording of an
// open that carries an old press.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e_host/scenario.h"

namespace tovira::e2e {
namespace {

constexpr Millis kWait = kScenarioWait;

struct CheckResult {
  std::optional<int> exitCode;
  std::string output;
};

CheckResult CheckRecording(const std::string& path) {
  ChildProcess checker = ChildProcess::Start(
      {TOVIRA_PYTHON, std::string(TOVIRA_SOURCE_DIR) + "/tools/target_order_check.py", path}, {},
      path + ".stderr");
  CheckResult result;
  while (const auto line = checker.ReadLine(kWait)) result.output += *line + "\n";
  result.exitCode = checker.Wait(kWait);
  return result;
}

std::string SaveRecording(const std::string& name, const std::vector<std::string>& lines) {
  std::string path = std::string(TOVIRA_HOST_BUILD_DIR) + "/" + name;
  std::ofstream out(path, std::ios::trunc);
  for (const std::string& line : lines) out << line << "\n";
  return path;
}

std::function<bool(const std::string&)> WParamIs(int button) {
  return [button](const std::string& line) { return JsonField(line, "wParam") == std::to_string(button); };
}

TEST(TargetOrder, ARunWithPressesAChordTheBatteryAndADropoutWhileHeldKeepsTheWrittenOrder) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();

  ASSERT_TRUE(scenario.Switch("release"));  // an idle frame before any press: release 0
  ASSERT_TRUE(monitor.WaitFor("release", kWait, WParamIs(0)));
  const struct {
    const char* command;
    int state;
  } frames[] = {
      {"press 1", 0x01}, {"press 3", 0x04}, {"state 0x05", 0x05}, {"battery low", 0x85}, {"press 2", 0x82},
  };
  for (const auto& frame : frames) {
    ASSERT_TRUE(scenario.Switch(frame.command));
    ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(frame.state), kWait)) << frame.command;
  }

  // The switch drops out while button 2 is held, and comes back.
  ASSERT_TRUE(scenario.Switch("dsr off"));
  ASSERT_TRUE(monitor.WaitForConnected(false, kWait));
  ASSERT_TRUE(scenario.Switch("dsr on"));
  ASSERT_TRUE(scenario.WaitConnected());
  ASSERT_TRUE(scenario.Switch("press 4"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x88), kWait));
  ASSERT_TRUE(scenario.Switch("battery ok"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x08), kWait));
  ASSERT_TRUE(scenario.Switch("release"));
  ASSERT_TRUE(monitor.WaitFor("release", kWait, WParamIs(3)));

  EXPECT_EQ(scenario.CloseTovira(), 0);
  ASSERT_TRUE(monitor.WaitForBlock("0000000000000000", kWait));
  const std::string path = SaveRecording("target-order-run.jsonl", monitor.lines());
  const CheckResult check = CheckRecording(path);
  EXPECT_EQ(check.exitCode, 0) << check.output << "the recording: " << path;
}

TEST(TargetOrder, CheckerRejectsAReopenThatCarriesAnOldPress) {
  // As a target saw the fault: the loss kept button 3 in byte 1 (line 7), and the
  // next open (line 8) showed it pressed again although nobody held it.
  const std::vector<std::string> recording = {
      R"({"t":100.000000,"event":"ready","block":"QUORINDEX-SHARED-MEMORY","created":false})",
      R"({"t":100.000100,"event":"block","bytes":"0000FFFFFFFFFFFF"})",
      R"({"t":100.600000,"event":"block","bytes":"0100FFFFFFFFFFFF"})",
      R"({"t":102.000000,"event":"press","wParam":2,"lParam":0})",
      R"({"t":102.000050,"event":"block","bytes":"0104FFFFFFFFFFFF"})",
      R"({"t":103.000000,"event":"release","wParam":2,"lParam":0})",
      R"({"t":103.000050,"event":"block","bytes":"0004FFFFFFFFFFFF"})",
      R"({"t":104.200000,"event":"block","bytes":"0104FFFFFFFFFFFF"})",
      R"({"t":105.000000,"event":"block","bytes":"0004FFFFFFFFFFFF"})",
      R"({"t":105.000100,"event":"block","bytes":"00000000FFFFFFFF"})",
      R"({"t":105.000200,"event":"block","bytes":"0000000000000000"})",
  };
  const std::string path = SaveRecording("target-order-old-press.jsonl", recording);
  const CheckResult check = CheckRecording(path);
  EXPECT_EQ(check.exitCode, 1) << check.output;
  EXPECT_NE(check.output.find("target-order-old-press.jsonl:8: t=104.200000: "), std::string::npos)
      << check.output;
}

}  // namespace
}  // namespace tovira::e2e
