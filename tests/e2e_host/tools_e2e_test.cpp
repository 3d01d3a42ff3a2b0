// The stand-ins themselves under Wine: the target monitor reports what a test
// writer does to the block and the navigator window.

#include <gtest/gtest.h>

#include "tests/e2e_host/target_side.h"
#include "tests/e2e_host/wine_session.h"

namespace tovira::e2e {
namespace {

constexpr Millis kWait(15000);

int RunBlockWriter(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {WineSession::Get().Win64Tool("tests/block_writer.exe")};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess writer = WineSession::Get().StartWindowsProgram(argv);
  return writer.Wait(kWait).value_or(-1);
}

TEST(TargetMonitor, SeesBlockWritesAndNavigatorMessagesOfAWriter) {
  TargetMonitor monitor = TargetMonitor::Start(2);
  ASSERT_TRUE(monitor.WaitFor("window", kWait));
  EXPECT_EQ(RunBlockWriter({"--mode", "2", "--write", "0000FFFFFFFFFFFF", "--sleep", "300", "--write",
                            "0105FFFFFFFFFFFF", "--post", "press", "2", "--post", "release", "2", "--sleep",
                            "300"}),
            0);
  EXPECT_TRUE(monitor.WaitForBlock("0105FFFFFFFFFFFF", kWait));
  ASSERT_TRUE(monitor.WaitFor("release", kWait));
  const auto presses = monitor.Events("press");
  ASSERT_EQ(presses.size(), 1u);
  EXPECT_EQ(JsonField(presses[0], "wParam"), "2");
  EXPECT_EQ(JsonField(monitor.Events("release")[0], "wParam"), "2");
  const auto blocks = monitor.Events("block");
  ASSERT_GE(blocks.size(), 2u);
  EXPECT_EQ(JsonField(blocks[blocks.size() - 2], "bytes"), "0000FFFFFFFFFFFF");
  monitor.Stop();
}

TEST(TargetMonitor, CreatesTheBlockFirstWhenAskedAndWatchesTheOtherName) {
  TargetMonitor monitor = TargetMonitor::Start(1, {"--create"});
  const auto ready = monitor.WaitFor("ready", kWait);
  ASSERT_TRUE(ready);
  EXPECT_EQ(JsonField(*ready, "block"), "VELMORAX-SHARED-MEMORY");
  EXPECT_EQ(JsonField(*ready, "created"), "true");
  EXPECT_EQ(RunBlockWriter({"--mode", "3", "--write", "01800000000000AA", "--sleep", "200"}), 0);
  EXPECT_TRUE(monitor.WaitForBlock("01800000000000AA", kWait));
  EXPECT_TRUE(monitor.Events("press").empty());
  monitor.Stop();
}

}  // namespace
}  // namespace tovira::e2e
