#include "tools/virtual_switch/expected_messages.h"

#include <gtest/gtest.h>

namespace tovira::tools {
namespace {

using Messages = std::vector<std::string>;

TEST(ExpectedNavigatorMessages, PressNamesTheLowestButtonAndReleaseTheLastPress) {
  ExpectedNavigatorMessages expected;
  for (int state : {0x01, 0x02, 0x04, 0x08, 0x10, 0x00, 0x05, 0x1F, 0x80, 0x81, 0x20, 0x40, 0x60, 0x00})
    expected.Frame(state);
  // Battery (0x80) and spare bits (0x20, 0x40) count as no button: each such frame releases.
  EXPECT_EQ(expected.messages(), (Messages{"press 0", "press 1", "press 2", "press 3", "press 4", "release 4",
                                           "press 0", "press 0", "release 0", "press 0", "release 0",
                                           "release 0", "release 0", "release 0"}));
}

TEST(ExpectedNavigatorMessages, ReleaseBeforeAnyPressNamesButtonZero) {
  ExpectedNavigatorMessages expected;
  expected.Frame(0x00);
  EXPECT_EQ(expected.messages(), Messages{"release 0"});
}

TEST(ExpectedNavigatorMessages, LostLinkReleasesOnlyAHeldButton) {
  ExpectedNavigatorMessages expected;
  expected.LinkLost();
  expected.Frame(0x0C);
  expected.LinkLost();
  expected.LinkLost();
  expected.Frame(0x00);
  expected.LinkLost();
  EXPECT_EQ(expected.messages(), (Messages{"press 2", "release 2", "release 2"}));
}

TEST(ExpectedNavigatorMessages, BurstPressesEachButtonInTurnAndReleasesIt) {
  EXPECT_EQ(ExpectedBurstMessages(12),
            (Messages{"press 0", "release 0", "press 1", "release 1", "press 2", "release 2", "press 3",
                      "release 3", "press 4", "release 4", "press 0", "release 0"}));
  EXPECT_EQ(ExpectedBurstMessages(3), (Messages{"press 0", "release 0", "press 1"}));
}

}  // namespace
}  // namespace tovira::tools
