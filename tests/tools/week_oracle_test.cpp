#include "tests/e2e_host/week_oracle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace tovira::e2e {
namespace {

// One event a line: "on T" the switch back, "off T" lost, "frame T CONTROL BYTE2"
// (hex), "block T HEX", "press T I" / "release T I" (the navigator), "tick T".
// Times are seconds from a fixed start.
void Play(WeekOracle& oracle, const std::string& script) {
  constexpr double kStart = 1.8e9;
  std::istringstream lines(script);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string what;
    double t = 0;
    std::string a;
    std::string b;
    words >> what >> t >> a >> b;
    char json[160];
    if (what == "on") oracle.Back(kStart + t, 10);
    if (what == "off") oracle.Lost(kStart + t);
    if (what == "tick") oracle.Tick(kStart + t);
    if (what == "frame") {
      std::snprintf(json, sizeof json, "{\"t\":%.6f,\"action\":\"state\",\"control\":%ld,\"byte2\":%ld}",
                    kStart + t, std::strtol(a.c_str(), nullptr, 16), std::strtol(b.c_str(), nullptr, 16));
      oracle.SwitchLine(json);
    }
    if (what == "block") {
      std::snprintf(json, sizeof json, "{\"t\":%.6f,\"event\":\"block\",\"bytes\":\"%s\"}", kStart + t,
                    a.c_str());
      oracle.TargetLine(json);
    }
    if (what == "press" || what == "release") {
      std::snprintf(json, sizeof json, "{\"t\":%.6f,\"event\":\"%s\",\"wParam\":%s,\"lParam\":0}", kStart + t,
                    what.c_str(), a.c_str());
      oracle.TargetLine(json);
    }
  }
}

// The switch connects, the port opens, and after the settle time button 1 is
// pressed (control byte 0x02 rotates the state byte 0x02 by one in mode 2: 0x01)
// and released; then each case goes its own way.
constexpr char kInStep[] =
    "on 0\nblock 0.5 0100FFFFFFFFFFFF\n"
    "frame 2.0 02 02\nblock 2.001 0101FFFFFFFFFFFF\npress 2.001 0\n"
    "frame 2.1 00 00\nblock 2.101 0100FFFFFFFFFFFF\nrelease 2.101 0\n";

TEST(WeekOracle, CatchesAPhantomAStuckPressAndALostFrame) {
  const struct {
    const char* what;
    std::string script;
    WeekCounts expected;
  } cases[] = {
      {"in step, a dropout and a return included",
       std::string(kInStep) + "off 3\nblock 3.2 0000FFFFFFFFFFFF\non 4\nblock 4.6 0100FFFFFFFFFFFF\n"
                              "frame 6.2 00 10\nblock 6.201 0110FFFFFFFFFFFF\npress 6.201 4\ntick 20",
       {}},
      {"button 2 in the block that nobody pressed",
       std::string(kInStep) + "block 2.5 0102FFFFFFFFFFFF\ntick 2.6",
       {1, 0, 0, 0}},
      {"a press replayed after a reconnect",
       std::string(kInStep) + "frame 2.5 00 04\nblock 2.501 0104FFFFFFFFFFFF\npress 2.501 2\n"
                              "off 3\nblock 3.2 0000FFFFFFFFFFFF\nrelease 3.2 2\non 4\n"
                              "block 4.6 0104FFFFFFFFFFFF\npress 4.6 2\ntick 4.7",
       {2, 0, 0, 0}},
      {"button 3 held in the block after the switch was lost",
       std::string(kInStep) + "frame 2.5 00 04\nblock 2.501 0104FFFFFFFFFFFF\npress 2.501 2\n"
                              "off 3\nblock 3.2 0004FFFFFFFFFFFF\nrelease 3.2 2\ntick 5.1",
       {0, 1, 0, 0}},
      {"a frame that never arrives", std::string(kInStep) + "frame 2.5 00 08\ntick 4.1", {0, 0, 1, 0}},
      {"a return that needs the user",
       std::string(kInStep) + "off 3\nblock 3.2 0000FFFFFFFFFFFF\non 4\ntick 14.1",
       {0, 0, 0, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WeekOracle oracle(2, WeekBounds{}, nullptr);
    Play(oracle, c.script);
    EXPECT_EQ(oracle.counts().phantom, c.expected.phantom);
    EXPECT_EQ(oracle.counts().stuck, c.expected.stuck);
    EXPECT_EQ(oracle.counts().framesLost, c.expected.framesLost);
    EXPECT_EQ(oracle.counts().interventions, c.expected.interventions);
  }
}

}  // namespace
}  // namespace tovira::e2e
