// Soak: a random session of presses, chords, battery flips and dropouts in mode 2,
// the target's view checked against what the frames call for all along, and the
// program's working set, handles and GDI objects at the end against the start. 45 s in the test run; longer:
//   scripts/wine-up build/win64/wineprefix
//   TOVIRA_SOAK_SECONDS=3600 build/host/tests/tovira_e2e_runner --gtest_filter='Soak.*'

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/e2e_host/scenario.h"
#include "tools/virtual_switch/expected_messages.h"

namespace tovira::e2e {
namespace {

int SoakSeconds() {
  const char* value = std::getenv("TOVIRA_SOAK_SECONDS");
  return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : 45;
}

// What the program holds, as the window probe counts it from outside.
struct Holdings {
  long long workingSet = 0;
  long long handles = 0;
  long long gdiObjects = 0;
};

Holdings Measure() {
  const std::string resources = WineSession::Get().Probe({"resources"}).value_or("");
  const auto field = [&](const char* key) {
    return std::atoll(JsonField(resources, key).value_or("0").c_str());
  };
  return {field("workingSet"), field("handles"), field("gdi")};
}

void Report(const char* when, int frames, int dropouts, const Holdings& held) {
  std::printf("soak %s: %d frames, %d dropouts; working set %lld bytes, %lld handles, %lld GDI objects\n",
              when, frames, dropouts, held.workingSet, held.handles, held.gdiObjects);
  std::fflush(stdout);
}

std::string BlockWith(int connected, int state) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X%02X", connected, state & 0xFF);
  return std::string(hex) + "FFFFFFFFFFFF";
}

TEST(Soak, RandomSessionKeepsTheTargetInStepAndTheProgramFlat) {
  Scenario scenario(2);
  ASSERT_TRUE(scenario.StartConnected());
  TargetMonitor& monitor = scenario.monitor();
  const Holdings start = Measure();
  Report("start", 0, 0, start);
  std::mt19937 random(20261209);
  // What the navigator must have seen, kept beside the session.
  tools::ExpectedNavigatorMessages expected;
  int state = 0;
  int frames = 0;
  int dropouts = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(SoakSeconds());
  while (std::chrono::steady_clock::now() < deadline) {
    if (random() % 12 == 0) {  // a dropout and the reconnect
      ASSERT_TRUE(scenario.Switch("dsr off"));
      expected.LinkLost();
      state &= ~0x1F;  // no button outlives the link
      ASSERT_TRUE(monitor.WaitForBlock(BlockWith(0, state), kScenarioWait)) << "dropout " << dropouts;
      ASSERT_TRUE(scenario.Switch("dsr on"));
      ASSERT_TRUE(monitor.WaitForBlock(BlockWith(1, state), kScenarioWait)) << "reconnect " << dropouts;
      std::this_thread::sleep_for(Millis(1300));  // the connect wait
      ++dropouts;
      continue;
    }
    // A release, a single button or a chord, with the battery low now and then.
    // The block shows changes only: each frame differs from the one before.
    int next = state;
    while (next == state) {
      const int buttons = random() % 3 == 0 ? 0 : static_cast<int>(random() % 31) + 1;
      next = buttons | (random() % 5 == 0 ? 0x80 : 0);
    }
    state = next;
    char command[32];
    std::snprintf(command, sizeof command, "state 0x%02X", state);
    ASSERT_TRUE(scenario.Switch(command));
    expected.Frame(state);
    ASSERT_TRUE(monitor.WaitForBlock(BlockWith(1, state), kScenarioWait)) << command << " frame " << frames;
    ++frames;
    if (frames % 25 == 0) {
      monitor.Collect(Millis(150));
      ASSERT_EQ(monitor.NavigatorMessages(), expected.messages()) << "after " << frames << " frames";
    }
    if (frames % 1000 == 0) Report("sample", frames, dropouts, Measure());
    std::this_thread::sleep_for(Millis(random() % 40));
  }
  monitor.Collect(Millis(300));
  EXPECT_EQ(monitor.NavigatorMessages(), expected.messages()) << "at the end";
  const Holdings finish = Measure();
  Report("end", frames, dropouts, finish);
  std::printf("soak: %zu navigator messages, every one as the frames call for\n", expected.messages().size());
  EXPECT_GT(start.workingSet, 0);
  EXPECT_GT(start.handles, 0);
  EXPECT_GT(start.gdiObjects, 0);
  EXPECT_LT(finish.workingSet - start.workingSet, 8LL << 20) << "the program grew";
  // A handle or object kept per dropout or per frame would pass these within seconds.
  EXPECT_LE(finish.handles - start.handles, 8) << "handles grew";
  EXPECT_LE(finish.gdiObjects - start.gdiObjects, 8) << "GDI objects grew";
  EXPECT_EQ(scenario.CloseTovira(), 0);
}

}  // namespace
}  // namespace tovira::e2e
