// The support log under Wine: with LogFile=1 and the log panel hidden, the lines
// the panel would show reach %LOCALAPPDATA%\brelkin\Tovira\Tovira.log, each with
// its date and time, up to the last line of the exit.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "tests/e2e_host/scenario.h"

namespace tovira::e2e {
namespace {

namespace fs = std::filesystem;

fs::path SupportLogFile() {
  std::string folder = fs::path(WineSession::Get().SettingsFile()).parent_path().string();
  const std::string roaming = "/AppData/Roaming/";
  folder.replace(folder.find(roaming), roaming.size(), "/AppData/Local/");
  return fs::path(folder) / "Tovira.log";
}

TEST(SupportLog, HoldsThePanelsLinesWithTheirDateWhileThePanelIsHidden) {
  const fs::path file = SupportLogFile();
  fs::remove(file);
  fs::remove(file.string() + ".1");
  Scenario scenario(2);
  WineSession::Get().WriteSettings({{"PortName", scenario.portName()}, {"LogFile", "1"}});
  scenario.StartMonitor();
  ASSERT_TRUE(scenario.StartTovira());
  ASSERT_TRUE(scenario.WaitConnected());
  ASSERT_TRUE(scenario.Switch("press 2"));
  ASSERT_TRUE(scenario.monitor().WaitForBlock(ConnectedBlock(0x02), kScenarioWait));
  EXPECT_EQ(scenario.Log(), "") << "the panel is hidden and empty";
  ASSERT_EQ(scenario.CloseTovira(), std::optional<int>(0));

  std::ifstream in(file, std::ios::binary);
  const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(log.find("COM21接続済"), std::string::npos) << log;
  EXPECT_NE(log.find("pStatus :02"), std::string::npos) << log;
  EXPECT_NE(log.find("終了処理完了"), std::string::npos) << "the exit's last line is there too: " << log;
  const std::regex dated(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d\d\t[^\r\n]*)");
  std::istringstream lines(log);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_FALSE(line.empty() || line.back() != '\r') << "CR LF ends every line: " << line;
    line.pop_back();
    EXPECT_TRUE(std::regex_match(line, dated)) << line;
  }
  EXPECT_GE(count, 3);
}

}  // namespace
}  // namespace tovira::e2e
