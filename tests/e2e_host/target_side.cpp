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
  const auto take = [&](std::size_t index) -> std::optional<std::string> {
    if (consumed_[index] || JsonField(lines_[index], "event") != event) return std::nullopt;
    if (accept && !accept(lines_[index])) return std::nullopt;
    consumed_[index] = true;
    // The block is a state: what it was before the state matched is history.
    if (event == "block") {
      for (std::size_t i = 0; i < index; ++i) {
        if (JsonField(lines_[i], "event") == "block") consumed_[i] = true;
      }
    }
    return lines_[index];
  };
  // Lines already read come first: the block and the window print in an order
  // of their own.
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (auto line = take(i)) return line;
  }
  const auto deadline = SteadyClock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - SteadyClock::now());
    if (left.count() <= 0) return std::nullopt;
    auto line = process_.ReadLine(left);
    if (!line) return std::nullopt;
    lines_.push_back(*line);
    consumed_.push_back(false);
    if (auto taken = take(lines_.size() - 1)) return taken;
  }
}

std::optional<std::string> TargetMonitor::WaitForBlock(const std::string& hex, Millis timeout) {
  return WaitFor("block", timeout, [&](const std::string& line) { return JsonField(line, "bytes") == hex; });
}

std::optional<std::string> TargetMonitor::WaitForConnected(bool connected, Millis timeout) {
  const char* byte0 = connected ? "01" : "00";
  return WaitFor("block", timeout, [byte0](const std::string& line) {
    return JsonField(line, "bytes").value_or("").rfind(byte0, 0) == 0;
  });
}

void TargetMonitor::Collect(Millis period) {
  const auto deadline = SteadyClock::now() + period;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - SteadyClock::now());
    if (left.count() <= 0 || !ReadOne(left)) return;
  }
}

bool TargetMonitor::ReadOne(Millis timeout) {
  auto line = process_.ReadLine(timeout);
  if (!line) return false;
  lines_.push_back(*line);
  consumed_.push_back(false);
  return true;
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

std::vector<std::string> TargetMonitor::NavigatorMessages() const {
  std::vector<std::string> found;
  for (const std::string& line : lines_) {
    const auto event = JsonField(line, "event");
    if (event == "press" || event == "release")
      found.push_back(*event + " " + JsonField(line, "wParam").value_or(""));
  }
  return found;
}

}  // namespace tovira::e2e
