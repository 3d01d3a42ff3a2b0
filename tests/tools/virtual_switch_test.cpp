#include "tools/virtual_switch/virtual_switch.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "link/frame_codec.h"
#include "tools/virtual_switch/switch_script.h"

namespace tovira::tools {
namespace {

class VirtualSwitchTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tovira-vswitch-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    prefix_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(prefix_); }

  // What Tovira would read from the port: everything that arrives within a moment.
  static std::vector<std::uint8_t> ReadAvailable(int fd) {
    std::vector<std::uint8_t> bytes;
    pollfd watch{fd, POLLIN, 0};
    while (poll(&watch, 1, 200) > 0) {
      std::uint8_t buffer[4096];
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got <= 0) break;
      bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
  }

  static int LinesFileBits(const std::string& file) {
    std::ifstream in(file);
    int bits = -1;
    in >> bits;
    return bits;
  }

  std::string prefix_;
};

TEST_F(VirtualSwitchTest, FramesDecodeBackToTheirStatesInEveryMode) {
  for (TargetMode mode : kTargetModes) {
    VirtualSwitch device(prefix_, 9, mode);
    std::ostringstream json;
    SwitchScript script(device, json, 7);
    const std::vector<std::pair<std::string, int>> commands = {
        {"press 1", 0x01}, {"press 1 3", 0x05},  {"release", 0x00},    {"battery low", 0x80},
        {"press 5", 0x90}, {"state 0x60", 0x60}, {"battery ok", 0x60}, {"press 2 4", 0x0A},
    };
    std::string error;
    for (const auto& [command, expected] : commands) ASSERT_TRUE(script.Execute(command, error)) << error;
    const std::vector<std::uint8_t> bytes = ReadAvailable(device.slaveFd());
    ASSERT_EQ(bytes.size(), commands.size() * 2);
    for (std::size_t i = 0; i < commands.size(); ++i) {
      EXPECT_EQ(DecodeFrame(mode, bytes[2 * i], bytes[2 * i + 1]).state.byte(), commands[i].second)
          << "mode " << ModeNumber(mode) << ": " << commands[i].first;
    }
  }
}

TEST_F(VirtualSwitchTest, BurstAlternatesPressesAndReleases) {
  VirtualSwitch device(prefix_, 9, TargetMode::Quorandel);
  std::ostringstream json;
  SwitchScript script(device, json, 3);
  std::string error;
  ASSERT_TRUE(script.Execute("burst 10", error)) << error;
  const std::vector<std::uint8_t> bytes = ReadAvailable(device.slaveFd());
  ASSERT_EQ(bytes.size(), 20u);
  for (std::size_t i = 0; i < 10; ++i) {
    const int expected = i % 2 == 0 ? 1 << ((i / 2) % 5) : 0;
    EXPECT_EQ(DecodeFrame(TargetMode::Quorandel, bytes[2 * i], bytes[2 * i + 1]).state.byte(), expected) << i;
  }
  EXPECT_NE(json.str().find("\"presses\":5,\"releases\":5"), std::string::npos) << json.str();
}

TEST_F(VirtualSwitchTest, PortLinkAndModemLinesFollowTheScript) {
  VirtualSwitch device(prefix_, 12, TargetMode::Velmora);
  EXPECT_EQ(std::filesystem::read_symlink(prefix_ + "/dosdevices/com12"), device.slavePath());
  const std::string lines = ModemLinesFile(prefix_, device.slavePath());
  EXPECT_EQ(LinesFileBits(lines), TIOCM_DSR | TIOCM_CTS | TIOCM_CAR);
  std::ostringstream json;
  SwitchScript script(device, json, 1);
  std::string error;
  ASSERT_TRUE(script.Execute("dsr off", error));
  EXPECT_EQ(LinesFileBits(lines), TIOCM_CTS | TIOCM_CAR);
  ASSERT_TRUE(script.Execute("cd off", error));
  ASSERT_TRUE(script.Execute("dsr on", error));
  EXPECT_EQ(LinesFileBits(lines), TIOCM_DSR | TIOCM_CTS);
}

TEST_F(VirtualSwitchTest, HalfFramesRawBytesAndVanishing) {
  VirtualSwitch device(prefix_, 9, TargetMode::Harmoa);
  std::ostringstream json;
  SwitchScript script(device, json, 5);
  std::string error;
  ASSERT_TRUE(script.Execute("rotation 0", error));
  ASSERT_TRUE(script.Execute("tag 0", error));
  ASSERT_TRUE(script.Execute("half", error));
  ASSERT_TRUE(script.Execute("raw 08 02 ff", error));
  ASSERT_TRUE(script.Execute("garbage 5", error));
  EXPECT_EQ(ReadAvailable(device.slaveFd()).size(), 1u + 3u + 5u);
  ASSERT_TRUE(script.Execute("vanish", error));
  EXPECT_TRUE(device.vanished());
  EXPECT_FALSE(script.Execute("press 1", error));
  EXPECT_EQ(error, "the port is gone");
}

TEST_F(VirtualSwitchTest, RefusesWhatItDoesNotUnderstand) {
  VirtualSwitch device(prefix_, 9, TargetMode::Harmoa);
  std::ostringstream json;
  SwitchScript script(device, json, 5);
  for (const char* line : {"press", "press 6", "state 300", "battery flat", "raw zz", "dsr maybe",
                           "rotation 16", "jump", "sleep -1", "burst 0"}) {
    std::string error;
    EXPECT_FALSE(script.Execute(line, error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
  std::string error;
  EXPECT_TRUE(script.Execute("# a comment", error));
  EXPECT_TRUE(script.Execute("", error));
  EXPECT_TRUE(json.str().empty()) << "no action, no line";
}

}  // namespace
}  // namespace tovira::tools
