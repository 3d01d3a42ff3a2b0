// The tools themselves under Wine: the target monitor reports what a test writer
// does to the block and the navigator window; the field check reports what a
// switch sends on its port.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e_host/scenario.h"
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

std::string TextOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The time stamp of the last report line before `end` that contains `part`.
double LastStampOf(const std::string& report, const std::string& part, std::size_t end) {
  const std::size_t at = report.rfind(part, end);
  const std::size_t lineStart = report.rfind('\n', at) + 1;
  return std::atof(report.c_str() + lineStart);
}

struct FieldRun {
  int mode;
  bool emptyReads;  // the driver completes every other read with no bytes
};

void PrintTo(const FieldRun& run, std::ostream* out) {
  *out << "mode " << run.mode << (run.emptyReads ? ", empty reads" : "");
}

class FieldCheck : public ::testing::TestWithParam<FieldRun> {};

// Presses, a chord, a held button, then the switch's DSR lost: the report decodes
// each frame in the switch's own mode, sees the loss, and sums it all up. A driver
// that ends reads empty turns the reads plain, as in the link, and loses nothing.
TEST_P(FieldCheck, RecordsPressesChordHoldAndDsrLossOfTheVirtualSwitch) {
  const auto [mode, emptyReads] = GetParam();
  Scenario scenario(mode);
  std::optional<EmptyReads> emptyReadsFault;
  if (emptyReads) emptyReadsFault.emplace();
  const std::string name = "field-check-" + std::to_string(mode) + ".txt";
  const std::string reportFile = WineSession::Get().prefix() + "/drive_c/" + name;
  std::filesystem::remove(reportFile);
  ChildProcess check = WineSession::Get().StartWindowsProgram(
      {WineSession::Get().Win64Tool("tools/field_check.exe"), scenario.portName(), "--seconds", "8",
       "--report", "C:\\" + name});
  ASSERT_TRUE(Eventually([&] { return TextOf(reportFile).find(" opened ") != std::string::npos; }));
  for (const char* command : {"press 1", "release", "press 2 4", "release", "press 3", "sleep 1000",
                              "release", "sleep 300", "dsr off"}) {
    ASSERT_TRUE(scenario.Switch(command)) << command;
  }
  ASSERT_EQ(check.Wait(kWait + Millis(10000)), 0);

  const std::string report = TextOf(reportFile);
  const std::size_t summary = report.find("\nSummary\n");
  ASSERT_NE(summary, std::string::npos) << report;
  const std::string modeName[] = {"mode 1 ヴェルモラSW", "mode 2 クオラン", "mode 3 ハルモア"};
  for (const std::string& line :
       {std::string("  frames decoded: 6\n"),
        "  " + modeName[mode - 1] + ": no button x3; button 1 x1; button 3 x1; buttons 2+4 x1\n",
        std::string("  lone bytes dropped after 100 ms: 0\n"), std::string("  driver errors: 0\n"),
        std::string("  line changes: 1 by the poll")}) {
    EXPECT_NE(report.find(line, summary), std::string::npos) << line << "\n" << report;
  }
  EXPECT_EQ(Occurrences(report, "port closed"), 1) << "the port kept open to the end: " << report;
  EXPECT_EQ(Occurrences(report, "only bytes already waiting are read"), emptyReads ? 1 : 0) << report;
  if (!emptyReads) {
    EXPECT_NE(report.find("(empty: 0)\n", summary), std::string::npos) << report;
    EXPECT_NE(report.find("  failed calls: none\n", summary), std::string::npos) << report;
  }
  // The summary's gap is the body's: the DSR loss's line less the last frame's.
  const std::size_t loss = report.find("lines (poll): DSR off");
  ASSERT_NE(loss, std::string::npos) << report;
  const double gap =
      LastStampOf(report, "lines (poll): DSR off", summary) - LastStampOf(report, " frame ", loss);
  EXPECT_GT(gap, 0.0);
  const std::string lossLine = "  DSR losses: 1; ";
  const std::size_t summed = report.find(lossLine, summary);
  ASSERT_NE(summed, std::string::npos) << report;
  EXPECT_NEAR(std::atof(report.c_str() + summed + lossLine.size()), gap, 0.002) << report;
  EXPECT_NE(report.find(" s after the last frame\n", summed), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(EachMode, FieldCheck,
                         ::testing::Values(FieldRun{1, false}, FieldRun{2, false}, FieldRun{3, true}),
                         [](const ::testing::TestParamInfo<FieldRun>& run) {
                           return "Mode" + std::to_string(run.param.mode) +
                                  (run.param.emptyReads ? "EmptyReads" : "");
                         });

}  // namespace
}  // namespace tovira::e2e
