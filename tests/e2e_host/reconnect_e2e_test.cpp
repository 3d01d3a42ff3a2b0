// A benchmark, not part of the test run (scripts/bench runs it; the reconnect
// itself is checked by Link.VanishedPortThatReturnsIsRelayedAgainWithoutAnyoneActing
// and the week's vanished ports): a vanished port that returns, time from its
// return to the port open and to the first relayed frame, without and with the
// arrival message Windows sends, side by side. Each return is followed by one
// window-probe run in both variants (the arrival message, or a query that changes
// nothing), so that the probe's own start-up weighs the same on both.
// TOVIRA_RECONNECT_ROUNDS rounds (default 3).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/e2e_host/scenario.h"
#include "tests/e2e_host/wine_session.h"

namespace tovira::e2e {
namespace {

using Clock = std::chrono::steady_clock;

double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Summary(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  char text[96];
  std::snprintf(text, sizeof text, "median %.0f ms (%.0f-%.0f, %zu)", values[values.size() / 2],
                values.front(), values.back(), values.size());
  return text;
}

TEST(Reconnect, PortReturnToTheFirstRelayedFrameWithoutAndWithTheArrivalMessage) {
  const char* configured = std::getenv("TOVIRA_RECONNECT_ROUNDS");
  const int rounds = configured != nullptr ? std::max(1, std::atoi(configured)) : 3;
  Scenario scenario(3);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  std::mt19937 random(7);
  std::vector<double> toOpen[2];
  std::vector<double> toFrame[2];
  int state = 0x01;
  for (int round = 0; round < rounds; ++round) {
    for (int arrival = 0; arrival < 2; ++arrival) {
      ASSERT_TRUE(scenario.Switch("vanish"));
      ASSERT_TRUE(monitor.WaitForConnected(false, kScenarioWait)) << scenario.Log();
      // The return falls anywhere in the cycle of failed attempts.
      std::this_thread::sleep_for(Millis(1000 + static_cast<int>(random() % 700)));
      const Clock::time_point returned = Clock::now();
      ASSERT_TRUE(scenario.Switch("return"));
      ASSERT_TRUE(WineSession::Get().Probe({arrival != 0 ? "port-arrival" : "bounds"}));
      ASSERT_TRUE(monitor.WaitForConnected(true, kScenarioWait)) << scenario.Log();
      toOpen[arrival].push_back(MillisSince(returned));
      // A new state every 50 ms until one is relayed: the connect wait drops the first second's.
      state = state == 0x01 ? 0x02 : 0x01;
      const std::string command = "state " + std::to_string(state);
      bool relayed = false;
      for (const Clock::time_point until = Clock::now() + kScenarioWait; !relayed && Clock::now() < until;) {
        ASSERT_TRUE(scenario.Switch(command));
        relayed = monitor.WaitForBlock(ConnectedBlock(state), Millis(50)).has_value();
      }
      ASSERT_TRUE(relayed) << scenario.Log();
      toFrame[arrival].push_back(MillisSince(returned));
    }
  }
  std::printf("reconnect: port return to port open: without the arrival message %s; with it %s\n",
              Summary(toOpen[0]).c_str(), Summary(toOpen[1]).c_str());
  std::printf(
      "reconnect: port return to the first relayed frame: without the arrival message %s; with it %s\n",
      Summary(toFrame[0]).c_str(), Summary(toFrame[1]).c_str());
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

}  // namespace
}  // namespace tovira::e2e
