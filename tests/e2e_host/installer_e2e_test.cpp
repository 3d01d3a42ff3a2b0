// The release installers under Wine: a silent install puts the program, its
// Start-menu entry and its logon start in place; an install over an earlier one
// keeps the settings; the uninstaller ends a running Tovira in order and removes
// everything it installed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/e2e_host/scenario.h"
#include "ui/control_ids.h"

namespace tovira::e2e {
namespace {

namespace fs = std::filesystem;

const char* const kTargets[] = {"Velmora", "Quorandel", "Harmoa"};
const char* const kModeLabels[] = {"（ヴェルモラ用）", "（クオランデル用）", "（ハルモア用）"};
constexpr char kRunKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kInstalledProgram[] = "C:\\Program Files\\Tovira\\Tovira.exe";

std::string DistFile(int mode, const std::string& suffix) {
  return std::string(TOVIRA_RELEASE_DIR "/dist/Tovira-" TOVIRA_VERSION "-") + kTargets[mode - 1] + suffix;
}

fs::path InstallFolder() {
  return fs::path(WineSession::Get().prefix()) / "drive_c/Program Files/Tovira";
}

fs::path StartMenuEntry() {
  return fs::path(WineSession::Get().prefix()) /
         "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/トヴィラ.lnk";
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a Windows program to its end: its standard output, or nothing when it
// failed or outlived `timeout`.
std::optional<std::string> RunToEnd(const std::vector<std::string>& argv, Millis timeout = Millis(60000)) {
  ChildProcess program = WineSession::Get().StartWindowsProgram(argv);
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (auto line = program.ReadLine(
             std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now()))) {
    output += *line + "\n";
  }
  const auto status = program.Wait(Millis(5000));
  if (!status || *status != 0) return std::nullopt;
  return output;
}

std::optional<std::string> LogonStart() {
  auto output = RunToEnd({"reg", "query", kRunKey, "/v", "Tovira"});
  if (!output || output->find("Tovira") == std::string::npos) return std::nullopt;
  return output;
}

bool WaitUntil(const std::function<bool()>& done, Millis timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis(200));
  }
  return true;
}

bool ToviraWindowExists() {
  return WineSession::Get().Probe({"state"}).value_or("").find("\"exists\":true") != std::string::npos;
}

// The uninstaller copies itself away and returns at once: it is done when the
// folder it removes has gone.
bool Uninstall(const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv = {(InstallFolder() / "Uninstall.exe").string(), "/S"};
  argv.insert(argv.end(), options.begin(), options.end());
  if (!RunToEnd(argv)) return false;
  return WaitUntil([] { return !fs::exists(InstallFolder()); }, Millis(60000));
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(DistFile(2, "-setup.exe"))) {
      GTEST_FAIL() << "no release build: scripts/release makes the installers first";
    }
    if (fs::exists(InstallFolder() / "Uninstall.exe")) Uninstall();
  }
  void TearDown() override {
    if (ToviraWindowExists()) WineSession::Get().Probe({"close"});
    if (fs::exists(InstallFolder() / "Uninstall.exe")) Uninstall();
  }
};

TEST_F(Installer, SilentInstallOfEachTargetPutsTheProgramAndTheLogonStartInPlace) {
  for (int mode = 1; mode <= 3; ++mode) {
    SCOPED_TRACE(kTargets[mode - 1]);
    WineSession::Get().RemoveSettings();
    ASSERT_TRUE(RunToEnd({DistFile(mode, "-setup.exe"), "/S"})) << "the silent install failed";
    EXPECT_EQ(FileBytes(InstallFolder() / "Tovira.exe"), FileBytes(DistFile(mode, ".exe")))
        << "the target's program is installed";
    EXPECT_TRUE(fs::exists(InstallFolder() / "Uninstall.exe"));
    EXPECT_TRUE(fs::exists(StartMenuEntry()));
    const auto logon = LogonStart();
    ASSERT_TRUE(logon) << "no start at logon";
    EXPECT_NE(logon->find(kInstalledProgram), std::string::npos) << *logon;

    // What the logon start runs is Tovira of this target.
    ChildProcess tovira = WineSession::Get().StartWindowsProgram({kInstalledProgram});
    ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"}));
    EXPECT_EQ(WineSession::Get().Probe({"text", std::to_string(kIdModeLabel)}).value_or(""),
              kModeLabels[mode - 1]);
    WineSession::Get().Probe({"close"});
    EXPECT_EQ(tovira.Wait(Millis(15000)), std::optional<int>(0));
    ASSERT_TRUE(Uninstall());
  }
}

TEST_F(Installer, InstallOverARunningEarlierOneKeepsTheSettingsAndReplacesTheProgram) {
  ASSERT_TRUE(RunToEnd({DistFile(1, "-setup.exe"), "/S"}));
  WineSession::Get().WriteSettings({{"DeviceName", "KXRVP-M04"}, {"PortName", "COM250"}});
  ChildProcess tovira = WineSession::Get().StartWindowsProgram({kInstalledProgram});
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"}));

  ASSERT_TRUE(RunToEnd({DistFile(2, "-setup.exe"), "/S"})) << "the install over it failed";
  EXPECT_EQ(tovira.Wait(Millis(15000)), std::optional<int>(0)) << "the running Tovira was ended in order";
  EXPECT_EQ(FileBytes(InstallFolder() / "Tovira.exe"), FileBytes(DistFile(2, ".exe")));
  const auto settings = WineSession::Get().ReadSettings();
  ASSERT_TRUE(settings) << "the settings survive";
  EXPECT_NE(settings->find("DeviceName=KXRVP-M04"), std::string::npos) << *settings;
  EXPECT_NE(settings->find("PortName=COM250"), std::string::npos) << *settings;
}

TEST_F(Installer, UninstallEndsARunningToviraInOrderAndRemovesWhatItInstalled) {
  ASSERT_TRUE(RunToEnd({DistFile(2, "-setup.exe"), "/S"}));
  WineSession::Get().RemoveSettings();
  TargetMonitor monitor = TargetMonitor::Start(2);
  ChildProcess tovira = WineSession::Get().StartWindowsProgram({kInstalledProgram});
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"}));
  ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kScenarioWait)) << "Tovira holds the block";

  ASSERT_TRUE(Uninstall()) << "the uninstaller did not finish";
  EXPECT_EQ(tovira.Wait(Millis(15000)), std::optional<int>(0));
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait)) << "the block was released in order";
  EXPECT_TRUE(WineSession::Get().ReadSettings()) << "the settings were saved at the end and left in place";
  EXPECT_FALSE(fs::exists(InstallFolder()));
  EXPECT_FALSE(fs::exists(StartMenuEntry()));
  EXPECT_FALSE(LogonStart()) << "the start at logon is gone";
  monitor.Stop();
}

TEST_F(Installer, UninstallRemovesTheSettingsOnlyWhenAsked) {
  ASSERT_TRUE(RunToEnd({DistFile(3, "-setup.exe"), "/S"}));
  WineSession::Get().WriteSettings({{"DeviceName", "KXRVP-M04"}});
  ASSERT_TRUE(Uninstall({"/REMOVESETTINGS"}));
  EXPECT_FALSE(WineSession::Get().ReadSettings());
}

}  // namespace
}  // namespace tovira::e2e
