// What the window shows follows the switch, hidden or not.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/e2e_host/scenario.h"
#include "ui/control_ids.h"

namespace tovira::e2e {
namespace {

std::string Size(int id) {
  return WineSession::Get().Probe({"rect", std::to_string(id)}).value_or("");
}

std::vector<std::string> ButtonSizes() {
  std::vector<std::string> sizes;
  sizes.reserve(5);
  for (int i = 0; i < 5; ++i) sizes.push_back(Size(kIdButton1 + i));
  return sizes;
}

TEST(Display, ButtonPicturesFollowTheSwitch) {
  Scenario scenario(3);
  scenario.WriteSettings();
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  const std::vector<std::string> released(5, "20x20");
  EXPECT_EQ(ButtonSizes(), released) << "every button starts released";
  EXPECT_EQ(Size(kIdConnectedLamp), "10x10");
  ASSERT_TRUE(scenario.WaitConnected());

  ASSERT_TRUE(scenario.Switch("press 2 4"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x0A), kScenarioWait));
  // A pressed button's picture is two pixels wider than a released one.
  EXPECT_EQ(ButtonSizes(), (std::vector<std::string>{"20x20", "22x20", "20x20", "22x20", "20x20"}));

  ASSERT_TRUE(scenario.Switch("release"));
  ASSERT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x00), kScenarioWait));
  EXPECT_EQ(ButtonSizes(), released);
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(Display, VersionDialogShowsTheModeLabelAndTheProgramVersion) {
  Scenario scenario(3);
  WineSession::Get().RemoveSettings();
  scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  for (int opening = 0; opening < 2; ++opening) {  // the same content each time, taken afresh
    SCOPED_TRACE(opening);
    ASSERT_TRUE(WineSession::Get().Probe({"command", "100"}));  // バージョン情報(&A)
    const auto texts = WineSession::Get().Probe({"dismiss", "バージョン情報", "15000"});
    ASSERT_TRUE(texts) << "no version dialog";
    EXPECT_NE(texts->find("トヴィラ"), std::string::npos) << *texts;
    EXPECT_NE(texts->find("（ハルモア用）"), std::string::npos) << *texts;
    EXPECT_NE(texts->find("Version: " TOVIRA_VERSION_TEXT), std::string::npos) << *texts;
    EXPECT_NE(texts->find("brelkin"), std::string::npos) << *texts;
  }
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

std::string WindowState() {
  return WineSession::Get().Probe({"state"}).value_or("");
}

bool WindowShown(bool shown) {
  const std::string wanted = shown ? "\"visible\":true" : "\"visible\":false";
  return Eventually([&] { return WindowState().find(wanted) != std::string::npos; });
}

int WindowHeight() {
  return std::atoi(JsonField(WindowState(), "height").value_or("0").c_str());
}

TEST(Display, LogModeDoublesTheWindowsHeightWithinTheWorkArea) {
  int heights[2] = {0, 0};
  int workHeight = 0;
  for (int logOn = 0; logOn < 2; ++logOn) {
    Scenario scenario(1);
    WineSession::Get().WriteSettings({{"LogMode", logOn != 0 ? "730259" : "73025"}});
    scenario.StartMonitor();
    ASSERT_TRUE(scenario.StartTovira());
    ASSERT_TRUE(WineSession::Get().Probe({"command", "102"}));  // 動作テスト(&T): shown in normal size
    ASSERT_TRUE(WindowShown(true));
    heights[logOn] = WindowHeight();
    int work[4] = {0, 0, 0, 0};
    std::istringstream(WineSession::Get().Probe({"workarea"}).value_or("")) >> work[0] >> work[1] >>
        work[2] >> work[3];
    workHeight = work[3];
    const std::string log = WineSession::Get().Probe({"control", std::to_string(kIdLogPanel)}).value_or("");
    EXPECT_NE(log.find(logOn != 0 ? "\"visible\":true" : "\"visible\":false"), std::string::npos) << log;
    EXPECT_EQ(scenario.CloseTovira(), 0);
  }
  EXPECT_GT(heights[0], 200);
  ASSERT_GT(workHeight, heights[0]);
  // Twice the designed outer height, but never taller than the work area (the
  // test desktop's is less); Wine's frame metrics may differ by a few pixels
  // between the unshown and the shown window.
  const int expected = std::min(heights[0] * 2, workHeight);
  EXPECT_GT(heights[1], expected - heights[0] / 10) << heights[0] << " and " << heights[1];
  EXPECT_LE(heights[1], expected) << heights[0] << " and " << heights[1] << " within " << workHeight;
}

TEST(Display, OkHidesTheWindowAndFramesStillReachTheTarget) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  ASSERT_TRUE(WineSession::Get().Probe({"command", "102"}));  // 動作テスト(&T)
  ASSERT_TRUE(WindowShown(true));
  const std::string shown = WindowState();
  EXPECT_NE(shown.find("\"taskbar\":true"), std::string::npos) << "shown with a task-bar button: " << shown;
  ASSERT_TRUE(WineSession::Get().Probe({"click", std::to_string(kIdOK)}));
  EXPECT_TRUE(WindowShown(false));
  const std::string hidden = WindowState();
  EXPECT_NE(hidden.find("\"taskbar\":false"), std::string::npos) << hidden;
  ASSERT_TRUE(scenario.Switch("press 5"));
  EXPECT_TRUE(monitor.WaitForBlock(ConnectedBlock(0x10), kScenarioWait));
  EXPECT_TRUE(monitor.WaitFor("press", kScenarioWait));
  EXPECT_EQ(Size(kIdButton1 + 4), "22x20") << "the hidden picture follows too";
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

TEST(Display, BalloonSwitchIsSavedAtExit) {
  Scenario scenario(3);
  WineSession::Get().RemoveSettings();
  scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(WineSession::Get().Probe({"command", "103"}));  // バルーン非表示(&B)
  EXPECT_EQ(scenario.CloseTovira(), 0);
  const auto settings = WineSession::Get().ReadSettings();
  ASSERT_TRUE(settings);
  EXPECT_NE(settings->find("ShowNotBalloon=1"), std::string::npos) << *settings;
}

}  // namespace
}  // namespace tovira::e2e
