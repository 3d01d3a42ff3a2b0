#include "tests/e2e_host/target_side.h"

#include "tests/e2e_host/wine_session.h"

namespace tovira::e2e {

using SteadyClock = std::chrono::steady_clock;

TargetMonitor TargetMonitor::Start(int mode, const std::vector<std::string>& extraArgs,
                                   const std::string& image) {
  const WineSession& wine = WineSession::Get();
  std::vector<std::string> argv = {wine.Win64Tool(image), "--mode", std::to_string(mode)};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  TargetMonitor monitor;
  monitor.process_ = wine.StartWindowsProgram(argv);
  return monitor;
}

std::optional<std::string> TargetMonitor::WaitFor(const std::string& event, Millis timeout,
                                                  const std::function<bool(const std::string&)>& accept) {
  const auto deadline = SteadyClock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - SteadyClock::now());
    if (left.count() <= 0) return std::nullopt;
    auto line = process_.ReadLine(left);
    if (!line) return std::nullopt;
    lines_.push_back(*line);
    if (JsonField(*line, "event") == event && (!accept || accept(*line))) return line;
  }
}

std::optional<std::string> TargetMonitor::WaitForBlock(const std::string& hex, Millis timeout) {
  if (LastBlock() == hex) return lines_.back();
  return WaitFor("block", timeout, [&](const std::string& line) { return JsonField(line, "bytes") == hex; });
}

void TargetMonitor::Collect(Millis period) {
  const auto deadline = SteadyClock::now() + period;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - SteadyClock::now());
    if (left.count() <= 0) return;
    auto line = process_.ReadLine(left);
    if (!line) return;
    lines_.push_back(*line);
  }
}

std::vector<std::string> TargetMonitor::Events(const std::string& event) const {
  std::vector<std::string> found;
  for (const std::string& line : lines_) {
    if (JsonField(line, "event") == event) found.push_back(line);
  }
  return found;
}

std::string TargetMonitor::LastBlock() const {
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
    if (JsonField(*it, "event") == "block") return JsonField(*it, "bytes").value_or("");
  }
  return "";
}

void TargetMonitor::Stop() {
  process_.CloseInput();
  if (!process_.Wait(Millis(3000))) process_.Kill();
}

}  // namespace tovira::e2e
