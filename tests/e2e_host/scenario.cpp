#include "tests/e2e_host/scenario.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tovira::e2e {

std::string ConnectedBlock(int state) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "01%02X", state & 0xFF);
  return std::string(hex) + "FFFFFFFFFFFF";
}

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kScenarioWait;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(Millis(200));
  }
  return true;
}

ShimFault::ShimFault(const std::string& marker, const std::string& content)
    : marker_(WineSession::Get().prefix() + "/tovira-modem-lines/" + marker) {
  std::filesystem::create_directories(std::filesystem::path(marker_).parent_path());
  std::ofstream(marker_) << content;
}

ShimFault::~ShimFault() {
  std::filesystem::remove(marker_);
}

Scenario::Scenario(int mode, int com)
    : mode_(mode),
      com_(com),
      switch_(WineSession::Get().prefix(), com, static_cast<TargetMode>(mode)),
      script_(switch_, switchLog_, 12345u + static_cast<unsigned>(mode)) {}

Scenario::~Scenario() {
  if (tovira_.started() && !tovira_.Wait(Millis(0))) CloseTovira();
  tovira_.Kill();
  if (monitor_) monitor_->Stop();
}

void Scenario::WriteSettings(const std::vector<std::pair<std::string, std::string>>& extra) {
  std::vector<std::pair<std::string, std::string>> keys = {
      {"DeviceName", "SW-E2E"}, {"PortName", portName()}, {"LogMode", "730259"}};
  keys.insert(keys.end(), extra.begin(), extra.end());
  WineSession::Get().WriteSettings(keys);
}

TargetMonitor& Scenario::StartMonitor(const std::vector<std::string>& extraArgs, const std::string& image) {
  monitor_ = std::make_unique<TargetMonitor>(TargetMonitor::Start(mode_, extraArgs, image));
  return *monitor_;
}

bool Scenario::StartTovira() {
  return StartProgram({WineSession::Get().ToviraExe(mode_)});
}

bool Scenario::StartProgram(const std::vector<std::string>& argv) {
  const WineSession& wine = WineSession::Get();
  tovira_ = wine.StartWindowsProgram(argv);
  return wine.Probe({"wait", "15000"}).has_value();
}

bool Scenario::WaitConnected() {
  if (!monitor_->WaitForConnected(true, kScenarioWait)) return false;
  // Frames within 1000 ms of the open are dropped by the connect wait.
  std::this_thread::sleep_for(Millis(1300));
  return true;
}

bool Scenario::StartConnected() {
  WriteSettings();
  StartMonitor();
  return StartTovira() && WaitConnected();
}

bool Scenario::Switch(const std::string& command) {
  std::string error;
  return script_.Execute(command, error);
}

std::vector<std::string> Scenario::TakeSwitchLines() {
  std::vector<std::string> lines;
  std::istringstream printed(switchLog_.str());
  for (std::string line; std::getline(printed, line);) lines.push_back(line);
  switchLog_.str("");
  return lines;
}

std::string Scenario::Log() const {
  return WineSession::Get().Probe({"log"}).value_or("");
}

std::optional<int> Scenario::CloseTovira() {
  if (!WineSession::Get().Probe({"close"})) return std::nullopt;
  return tovira_.Wait(kScenarioWait);
}

}  // namespace tovira::e2e
