// The device search under Wine, where neither Bluetooth nor the serial-port
// query finds anything: the real sources must come back empty-handed, gracefully.

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e_host/scenario.h"
#include "ui/control_ids.h"

namespace tovira::e2e {
namespace {

std::string ControlState(int id) {
  return WineSession::Get().Probe({"control", std::to_string(id)}).value_or("");
}

bool WaitForControl(int id, const std::string& fragment) {
  for (int i = 0; i < 100; ++i) {
    if (ControlState(id).find(fragment) != std::string::npos) return true;
    std::this_thread::sleep_for(Millis(100));
  }
  return false;
}

TEST(Search, FirstStartWithoutAPortSearchesAndEndsUnlockedWithNoWorker) {
  Scenario scenario(2);
  WineSession::Get().RemoveSettings();
  TargetMonitor& monitor = scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kScenarioWait));
  EXPECT_TRUE(WaitForControl(kIdRefresh, "\"visible\":true")) << ControlState(kIdRefresh);
  EXPECT_NE(ControlState(kIdSearchingNote).find("\"visible\":false"), std::string::npos);
  const std::string chooser = ControlState(kIdDeviceList);
  EXPECT_NE(chooser.find("\"enabled\":true,\"items\":0"), std::string::npos) << chooser;
  EXPECT_NE(ControlState(kIdOK).find("\"enabled\":true"), std::string::npos);

  // The update button searches again, with the same result.
  ASSERT_TRUE(WineSession::Get().Probe({"click", std::to_string(kIdRefresh)}));
  std::this_thread::sleep_for(Millis(500));
  EXPECT_TRUE(WaitForControl(kIdRefresh, "\"visible\":true"));
  EXPECT_NE(ControlState(kIdDeviceList).find("\"items\":0"), std::string::npos);

  monitor.Collect(Millis(300));
  EXPECT_EQ(monitor.LastBlock(), "0000FFFFFFFFFFFF") << "no serial worker ever opened a port";
  EXPECT_EQ(scenario.CloseTovira(), 0);
  const auto settings = WineSession::Get().ReadSettings();
  ASSERT_TRUE(settings);
  EXPECT_NE(settings->find("PortName=\r\n"), std::string::npos) << "the next start searches again";
}

TEST(Search, StoredPortListsTheStoredDeviceAlone) {
  Scenario scenario(2);
  scenario.WriteSettings();
  scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(scenario.WaitConnected());
  const std::string chooser = ControlState(kIdDeviceList);
  EXPECT_NE(chooser.find("\"items\":1,\"selected\":0"), std::string::npos) << chooser;
  EXPECT_EQ(WineSession::Get().Probe({"text", std::to_string(kIdDeviceList)}), "SW-E2E");
  EXPECT_EQ(WineSession::Get().Probe({"text", std::to_string(kIdPortName)}), scenario.portName());
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

}  // namespace
}  // namespace tovira::e2e
