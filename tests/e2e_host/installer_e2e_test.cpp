// The release installers under Wine: a silent install puts the program, its help
// page, its Start-menu entry and its logon start in place and starts Tovira; an
// install over a running earlier one keeps the settings and leaves the new Tovira
// running; a program file that cannot be replaced fails the silent install; the
// uninstaller ends a running Tovira in order and removes everything it installed;
// run as the system's account or outside a user's session, the install starts
// nothing and leaves the start to the logon. The start at logon can be left out,
// and another target's install is replaced only when asked.

#include <gtest/gtest.h>

#include <filesystem>
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

struct Finished {
  std::optional<int> status;  // nothing when it outlived its time
  std::string output;
};

// Runs a Windows program to its end.
Finished RunProgram(const std::vector<std::string>& argv, Millis timeout = Millis(60000)) {
  ChildProcess program = WineSession::Get().StartWindowsProgram(argv);
  Finished finished;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (auto line = program.ReadLine(
             std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now()))) {
    finished.output += *line + "\n";
  }
  finished.status = program.Wait(Millis(5000));
  return finished;
}

// Runs a Windows program to its end: its standard output, or nothing when it
// failed or outlived `timeout`.
std::optional<std::string> RunToEnd(const std::vector<std::string>& argv, Millis timeout = Millis(60000)) {
  Finished finished = RunProgram(argv, timeout);
  if (finished.status != std::optional<int>(0)) return std::nullopt;
  return finished.output;
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

// The Tovira the installer started, found by its window: closed as the system
// closes it; true when its window has gone.
bool CloseStartedTovira() {
  if (!WineSession::Get().Probe({"close"})) return false;
  return WaitUntil([] { return !ToviraWindowExists(); }, Millis(20000));
}

// The mode label of the running Tovira's status window.
std::string RunningModeLabel() {
  return WineSession::Get().Probe({"text", std::to_string(kIdModeLabel)}).value_or("");
}

// The uninstaller copies itself away and returns at once: it is done when the
// folder it removes has gone.
bool Uninstall(const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv = {(InstallFolder() / "Uninstall.exe").string(), "/S"};
  argv.insert(argv.end(), options.begin(), options.end());
  if (!RunToEnd(argv)) return false;
  return WaitUntil([] { return !fs::exists(InstallFolder()); }, Millis(60000));
}

// The mode-2 installer from the release's script and program, but believing it
// runs in `session`, as the system's account or not.
std::optional<std::string> BuildInstallerBelieving(int session, bool localSystem) {
  const fs::path folder = fs::path(TOVIRA_HOST_BUILD_DIR) / "installer-believing";
  fs::create_directories(folder);
  const std::string out =
      (folder / ("setup-" + std::to_string(session) + (localSystem ? "-system" : "-user") + ".exe")).string();
  const std::string source = TOVIRA_SOURCE_DIR;
  const std::string version = TOVIRA_VERSION;
  ChildProcess makensis =
      ChildProcess::Start({"makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DVERSION=" + version, "-DMODE=2",
                           "-DTARGET=Quorandel", "-DLABEL=クオランデル", "-DPROGRAM=" + DistFile(2, ".exe"),
                           "-DHELP_PAGE=" + source + "/ui/resources/ToviraHelp.html", "-DOUTFILE=" + out,
                           "-DTEST_SESSION=" + std::to_string(session),
                           std::string("-DTEST_LOCAL_SYSTEM=") + (localSystem ? "1" : "0"),
                           source + "/app/installer/tovira.nsi"});
  if (makensis.Wait(Millis(60000)) != std::optional<int>(0)) return std::nullopt;
  return out;
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

TEST_F(Installer, SilentInstallOfEachTargetPutsTheProgramAndTheLogonStartInPlaceAndStartsIt) {
  for (int mode = 1; mode <= 3; ++mode) {
    SCOPED_TRACE(kTargets[mode - 1]);
    WineSession::Get().RemoveSettings();
    ASSERT_TRUE(RunToEnd({DistFile(mode, "-setup.exe"), "/S"})) << "the silent install failed";
    EXPECT_EQ(FileBytes(InstallFolder() / "Tovira.exe"), FileBytes(DistFile(mode, ".exe")))
        << "the target's program is installed";
    EXPECT_TRUE(fs::exists(InstallFolder() / "ToviraHelp.html")) << "the help page is installed beside it";
    EXPECT_TRUE(fs::exists(InstallFolder() / "Uninstall.exe"));
    EXPECT_TRUE(fs::exists(StartMenuEntry()));
    const auto logon = LogonStart();
    ASSERT_TRUE(logon) << "no start at logon";
    EXPECT_NE(logon->find(kInstalledProgram), std::string::npos) << *logon;

    // The installer started Tovira of this target.
    ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"})) << "the installer started no Tovira";
    EXPECT_EQ(RunningModeLabel(), kModeLabels[mode - 1]);
    ASSERT_TRUE(CloseStartedTovira());
    ASSERT_TRUE(Uninstall());
  }
}

TEST_F(Installer, UpgradeOfARunningToviraKeepsTheSettingsAndLeavesTheNewOneRunning) {
  ASSERT_TRUE(RunToEnd({DistFile(1, "-setup.exe"), "/S"}));
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"}));
  ASSERT_TRUE(CloseStartedTovira());
  WineSession::Get().WriteSettings({{"DeviceName", "KXRVP-M04"}, {"PortName", "COM250"}});
  ChildProcess tovira = WineSession::Get().StartWindowsProgram({kInstalledProgram});
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"}));

  ASSERT_TRUE(RunToEnd({DistFile(2, "-setup.exe"), "/S", "/REPLACETARGET"})) << "the install over it failed";
  EXPECT_EQ(tovira.Wait(Millis(15000)), std::optional<int>(0)) << "the running Tovira was ended in order";
  EXPECT_EQ(FileBytes(InstallFolder() / "Tovira.exe"), FileBytes(DistFile(2, ".exe")));
  const auto settings = WineSession::Get().ReadSettings();
  ASSERT_TRUE(settings) << "the settings survive";
  EXPECT_NE(settings->find("DeviceName=KXRVP-M04"), std::string::npos) << *settings;
  EXPECT_NE(settings->find("PortName=COM250"), std::string::npos) << *settings;

  // The user keeps a switch: the upgraded Tovira runs again.
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"})) << "no Tovira runs after the upgrade";
  EXPECT_EQ(RunningModeLabel(), kModeLabels[1]) << "the new program runs";
  EXPECT_TRUE(CloseStartedTovira());
}

TEST_F(Installer, ALockedProgramFileFailsTheSilentInstall) {
  ASSERT_TRUE(RunToEnd({DistFile(2, "-setup.exe"), "/S"}));
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"}));
  ASSERT_TRUE(CloseStartedTovira());
  // As a Tovira running in another user's session holds it.
  ChildProcess locker = WineSession::Get().StartWindowsProgram(
      {WineSession::Get().Win64Tool("tests/file_locker.exe"), kInstalledProgram});
  ASSERT_EQ(locker.ReadLine(Millis(20000)), std::optional<std::string>("locked"));

  const Finished install = RunProgram({DistFile(1, "-setup.exe"), "/S", "/REPLACETARGET"});
  locker.Kill();
  ASSERT_TRUE(install.status) << "the installer did not end";
  EXPECT_EQ(*install.status, 2) << "the failed install says so in its exit code";
  EXPECT_EQ(FileBytes(InstallFolder() / "Tovira.exe"), FileBytes(DistFile(2, ".exe")))
      << "the old program stays";
  EXPECT_FALSE(ToviraWindowExists()) << "a failed install starts nothing";
}

TEST_F(Installer, UninstallEndsARunningToviraInOrderAndRemovesWhatItInstalled) {
  WineSession::Get().RemoveSettings();
  ASSERT_TRUE(RunToEnd({DistFile(2, "-setup.exe"), "/S"}));
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"})) << "the installer started Tovira";
  TargetMonitor monitor = TargetMonitor::Start(2);
  ASSERT_TRUE(monitor.WaitForBlock("0000FFFFFFFFFFFF", kScenarioWait)) << "Tovira holds the block";

  ASSERT_TRUE(Uninstall()) << "the uninstaller did not finish";
  EXPECT_FALSE(ToviraWindowExists());
  EXPECT_TRUE(monitor.WaitForBlock("0000000000000000", kScenarioWait)) << "the block was released in order";
  EXPECT_TRUE(WineSession::Get().ReadSettings()) << "the settings were saved at the end and left in place";
  EXPECT_FALSE(fs::exists(InstallFolder()));
  EXPECT_FALSE(fs::exists(StartMenuEntry()));
  EXPECT_FALSE(LogonStart()) << "the start at logon is gone";
  monitor.Stop();
}

TEST_F(Installer, AsTheSystemsAccountOrOutsideAUserSessionItInstallsButStartsNothing) {
  struct Case {
    const char* as;
    int session;
    bool localSystem;
    bool startsTovira;
  };
  // The first row shows that a test build starts Tovira as the shipped one does,
  // and within the time the others are watched.
  const Case cases[] = {{"the user at the desktop", 1, false, true},
                        {"the system's account at the desktop", 1, true, false},
                        {"another account in session 0", 0, false, false}};
  for (const Case& run : cases) {
    SCOPED_TRACE(run.as);
    const auto installer = BuildInstallerBelieving(run.session, run.localSystem);
    ASSERT_TRUE(installer) << "makensis failed";
    const Finished install = RunProgram({*installer, "/S"});
    EXPECT_EQ(install.status, std::optional<int>(0))
        << "the install is complete: a deployment tool sees success";
    EXPECT_EQ(FileBytes(InstallFolder() / "Tovira.exe"), FileBytes(DistFile(2, ".exe")));
    EXPECT_TRUE(LogonStart()) << "Tovira starts at the next logon";
    EXPECT_EQ(WineSession::Get().Probe({"wait", "10000"}).has_value(), run.startsTovira)
        << "a Tovira window within 10 s";
    if (run.startsTovira) {
      ASSERT_TRUE(CloseStartedTovira());
    }
    ASSERT_TRUE(Uninstall());
  }
}

TEST_F(Installer, TheStartAtLogonIsLeftOutWhenAskedAndAnotherTargetIsReplacedOnlyWhenAsked) {
  ASSERT_TRUE(RunToEnd({DistFile(1, "-setup.exe"), "/S", "/NOSTARTATLOGON"}));
  EXPECT_FALSE(LogonStart()) << "no start at logon when it is left out";
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"})) << "it still starts Tovira now";
  ASSERT_TRUE(CloseStartedTovira());

  const Finished other = RunProgram({DistFile(2, "-setup.exe"), "/S"});
  EXPECT_EQ(other.status, std::optional<int>(3))
      << "a silent install of another target, not asked to replace";
  EXPECT_EQ(FileBytes(InstallFolder() / "Tovira.exe"), FileBytes(DistFile(1, ".exe")))
      << "the installed target's program stays";
  EXPECT_FALSE(ToviraWindowExists()) << "and nothing is started";
}

TEST_F(Installer, UninstallRemovesTheSettingsOnlyWhenAsked) {
  ASSERT_TRUE(RunToEnd({DistFile(3, "-setup.exe"), "/S"}));
  WineSession::Get().WriteSettings({{"DeviceName", "KXRVP-M04"}});
  ASSERT_TRUE(WineSession::Get().Probe({"wait", "20000"})) << "the installer started Tovira";
  ASSERT_TRUE(Uninstall({"/REMOVESETTINGS"}));
  EXPECT_FALSE(WineSession::Get().ReadSettings());
}

}  // namespace
}  // namespace tovira::e2e
