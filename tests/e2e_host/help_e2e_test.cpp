// ヘルプ(&H) of the installed Tovira asks the shell to open the help page the
// installer put beside it. A stand-in "open" command for .html pages, registered
// in the test prefix's classes (HKCR: Wine 8 does not read the user's own
// classes), records what the shell was asked to open.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/e2e_host/wine_session.h"

namespace tovira::e2e {
namespace {

namespace fs = std::filesystem;

constexpr Millis kWait(20000);
constexpr char kPageClass[] = "HKCR\\ToviraTest.Page";
constexpr char kHtmlType[] = "HKCR\\.html";

// A host path as the Windows programs of the prefix see it (Wine's drive Z:).
std::string WindowsPath(const fs::path& path) {
  std::string text = "Z:" + fs::absolute(path).lexically_normal().string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

// Runs reg.exe of the prefix: its output, or nothing when it failed.
std::optional<std::string> RunReg(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"reg"};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess reg = WineSession::Get().StartWindowsProgram(argv);
  std::string output;
  while (auto line = reg.ReadLine(kWait)) output += *line + "\n";
  if (reg.Wait(kWait) != std::optional<int>(0)) return std::nullopt;
  return output;
}

// The default value of a key ("    (Default)    REG_SZ    value"), or nothing.
std::optional<std::string> DefaultValue(const std::string& key) {
  const auto output = RunReg({"query", key, "/ve"});
  const std::string type = "REG_SZ    ";
  const std::size_t at = output ? output->find(type) : std::string::npos;
  if (at == std::string::npos) return std::nullopt;
  const std::size_t begin = at + type.size();
  return output->substr(begin, output->find_first_of("\r\n", begin) - begin);
}

// .html pages open with the recorder while it lives; the prefix's own type afterwards.
class PageOpenRecorder {
 public:
  explicit PageOpenRecorder(const fs::path& record) : earlierType_(DefaultValue(kHtmlType)) {
    const std::string recorder = WineSession::Get().Win64Tool("tests/open_recorder.exe");
    const std::string command = "\"" + WindowsPath(recorder) + "\" \"" + WindowsPath(record) + "\" \"%1\"";
    registered_ =
        RunReg({"add", std::string(kPageClass) + "\\shell\\open\\command", "/ve", "/d", command, "/f"}) &&
        RunReg({"add", kHtmlType, "/ve", "/d", "ToviraTest.Page", "/f"});
  }
  ~PageOpenRecorder() {
    if (earlierType_) {
      RunReg({"add", kHtmlType, "/ve", "/d", *earlierType_, "/f"});
    } else {
      RunReg({"delete", kHtmlType, "/f"});
    }
    RunReg({"delete", kPageClass, "/f"});
  }
  PageOpenRecorder(const PageOpenRecorder&) = delete;
  PageOpenRecorder& operator=(const PageOpenRecorder&) = delete;

  bool registered() const { return registered_; }

 private:
  std::optional<std::string> earlierType_;
  bool registered_ = false;
};

std::optional<std::string> WaitForFile(const fs::path& path) {
  const auto deadline = std::chrono::steady_clock::now() + kWait;
  while (!fs::exists(path)) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(Millis(100));
  }
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path InstallFolder() {
  return fs::path(WineSession::Get().prefix()) / "drive_c/Program Files/Tovira";
}

bool Finishes(const std::vector<std::string>& argv) {
  ChildProcess program = WineSession::Get().StartWindowsProgram(argv);
  while (program.ReadLine(kWait)) {
  }
  return program.Wait(kWait) == std::optional<int>(0);
}

// Removes the installation; the uninstaller returns at once and is done when the folder has gone.
void Uninstall() {
  if (!fs::exists(InstallFolder() / "Uninstall.exe")) return;
  Finishes({(InstallFolder() / "Uninstall.exe").string(), "/S"});
  const auto deadline = std::chrono::steady_clock::now() + Millis(60000);
  while (fs::exists(InstallFolder()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(Millis(200));
  }
}

TEST(Help, TheMenuCommandOfTheInstalledProgramOpensTheInstalledPage) {
  const std::string setup = TOVIRA_RELEASE_DIR "/dist/Tovira-" TOVIRA_VERSION "-Quorandel-setup.exe";
  ASSERT_TRUE(fs::exists(setup)) << "no release build: scripts/release makes the installers first";
  const WineSession& wine = WineSession::Get();
  const fs::path record = fs::path(TOVIRA_HOST_BUILD_DIR) / "help-opened.txt";
  fs::remove(record);
  const PageOpenRecorder recorder(record);
  ASSERT_TRUE(recorder.registered());
  Uninstall();

  ASSERT_TRUE(Finishes({setup, "/S"})) << "the silent install failed";
  ASSERT_TRUE(wine.Probe({"wait", "20000"})) << "the installer started Tovira";
  ASSERT_TRUE(wine.Probe({"command", "101"}));  // ヘルプ(&H)
  const auto opened = WaitForFile(record);
  EXPECT_TRUE(opened) << "the shell started no handler for the page";
  EXPECT_EQ(opened.value_or(""), "C:\\Program Files\\Tovira\\ToviraHelp.html");
  EXPECT_TRUE(fs::exists(InstallFolder() / "ToviraHelp.html")) << "the page is installed there";
  Uninstall();  // ends Tovira in order
}

}  // namespace
}  // namespace tovira::e2e
