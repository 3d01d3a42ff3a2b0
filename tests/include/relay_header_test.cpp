// The integrator's header says what the program does: every value, from C and
// from C++, equals the one the program uses.

#include <gtest/gtest.h>

#include <string>

#include "base/target_mode.h"
#include "relay/target_relay.h"
#include "tests/include/relay_header_c.h"
#include "tovira_relay.h"
#include "ui/control_ids.h"

namespace tovira {
namespace {

std::string Narrow(std::wstring_view text) {
  return std::string(text.begin(), text.end());  // ASCII names only
}

TEST(RelayHeader, CAndCxxSeeTheValuesTheProgramUses) {
  RelayHeaderValues c{};
  ReadRelayHeaderFromC(&c);
  EXPECT_EQ(BlockName(TargetMode::Velmora), TOVIRA_BLOCK_NAME_VELMORA);
  EXPECT_EQ(BlockName(TargetMode::Harmoa), TOVIRA_BLOCK_NAME_VELMORA);
  EXPECT_EQ(BlockName(TargetMode::Quorandel), TOVIRA_BLOCK_NAME_QUORANDEL);
  EXPECT_STREQ(c.blockNameVelmora, TOVIRA_BLOCK_NAME_VELMORA);
  EXPECT_STREQ(c.blockNameQuorandel, TOVIRA_BLOCK_NAME_QUORANDEL);

  EXPECT_EQ(c.pressMessage, kPressMessage);
  EXPECT_EQ(c.releaseMessage, kReleaseMessage);
  EXPECT_EQ(std::string_view(c.navigatorClass), kNavigatorWindowClass);

  EXPECT_EQ(Narrow(InterfaceProcessImage(TargetMode::Velmora)), TOVIRA_INTERFACE_PROCESS_VELMORA);
  EXPECT_EQ(Narrow(InterfaceProcessImage(TargetMode::Quorandel)), TOVIRA_INTERFACE_PROCESS_QUORANDEL);
  EXPECT_STREQ(c.interfaceVelmora, TOVIRA_INTERFACE_PROCESS_VELMORA);
  EXPECT_STREQ(c.interfaceQuorandel, TOVIRA_INTERFACE_PROCESS_QUORANDEL);

  EXPECT_EQ(std::wstring_view(c.mainWindowClass), kMainWindowClass);

  EXPECT_EQ(c.blockSize, 8);
  EXPECT_EQ(c.offsetConnected, 0);
  EXPECT_EQ(c.offsetState, 1);
  EXPECT_EQ(c.filler, 0xFF);
  EXPECT_EQ(c.buttons, 0x1F);
  EXPECT_EQ(c.button5, 0x10);
  EXPECT_EQ(c.batteryLow, 0x80);
}

}  // namespace
}  // namespace tovira
