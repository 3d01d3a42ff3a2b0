// What the window shows follows the switch, hidden or not.

#include <gtest/gtest.h>

#include "tests/e2e_host/scenario.h"
#include "ui/control_ids.h"

namespace tovira::e2e {
namespace {

std::string Size(int id) {
  return WineSession::Get().Probe({"rect", std::to_string(id)}).value_or("");
}

std::vector<std::string> ButtonSizes() {
  std::vector<std::string> sizes;
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
  EXPECT_EQ(Size(kIdEnable), "10x10");
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

}  // namespace
}  // namespace tovira::e2e

namespace tovira::e2e {
namespace {

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
    EXPECT_NE(texts->find("Version: 1, 0, 1, 0"), std::string::npos) << *texts;
    EXPECT_NE(texts->find("brelkin"), std::string::npos) << *texts;
  }
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

}  // namespace
}  // namespace tovira::e2e
