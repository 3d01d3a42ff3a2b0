#include "tests/e2e_host/stopped_shell.h"

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/e2e_host/wine_session.h"

namespace tovira::e2e {
namespace {

namespace fs = std::filesystem;

// The Linux processes of this prefix's explorer.exe (Wine's desktop and tray).
std::vector<pid_t> ShellProcesses() {
  std::vector<pid_t> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (FileBytes(entry.path() / "cmdline").find("explorer.exe") == std::string::npos) continue;
    const std::string environment = FileBytes(entry.path() / "environ");
    const std::string key = "WINEPREFIX=";
    for (std::size_t at = 0; at < environment.size(); at = environment.find('\0', at) + 1) {
      if (environment.compare(at, key.size(), key) != 0) continue;
      const std::string value = environment.substr(at + key.size()).c_str();
      std::error_code unequal;
      if (fs::equivalent(value, WineSession::Get().prefix(), unequal)) found.push_back(std::stoi(name));
      break;
    }
  }
  return found;
}

char ProcessState(pid_t pid) {
  const std::string stat = FileBytes("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t name = stat.rfind(')');
  return name == std::string::npos || name + 2 >= stat.size() ? '?' : stat[name + 2];
}

}  // namespace

StoppedShell::StoppedShell() : pids_(ShellProcesses()) {
  for (const pid_t pid : pids_) ::kill(pid, SIGSTOP);
}

bool StoppedShell::stopped() const {
  const auto deadline = std::chrono::steady_clock::now() + Millis(5000);
  for (const pid_t pid : pids_) {
    while (ProcessState(pid) != 'T') {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(Millis(20));
    }
  }
  return !pids_.empty();
}

void StoppedShell::Resume() {
  for (const pid_t pid : pids_) ::kill(pid, SIGCONT);
  pids_.clear();
}

}  // namespace tovira::e2e
