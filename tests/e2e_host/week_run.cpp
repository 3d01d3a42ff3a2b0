#include "tests/e2e_host/week_run.h"

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdio>

#include "tools/virtual_switch/switch_script.h"

namespace tovira::e2e {
namespace {

constexpr std::size_t kRecentEvents = 10;
constexpr int kPrintedFindings = 25;

double Now() {
  return tools::RealtimeSeconds();
}

}  // namespace

WeekRun::WeekRun(const WeekPlan& plan)
    : plan_(plan),
      oracle_(2, WeekBounds{}, [this](Finding finding, const std::string& what) { Found(finding, what); }),
      home_(2, 21),
      moved_(2, 22),
      active_(&home_) {
  home_.StartMonitor();
}

WeekRun::~WeekRun() {
  shell_.reset();
}

WeekFigures WeekRun::Run(int maxFindings) {
  const auto start = std::chrono::steady_clock::now();
  for (step_ = 0; step_ < plan_.steps.size(); ++step_) {
    if (!Step(plan_.steps[step_])) {
      std::printf("week: the driver could not go on at step %zu (%s)\n", step_ + 1,
                  Describe(plan_.steps[step_]).c_str());
      break;
    }
    figures_.stepsDone = static_cast<int>(step_ + 1);
    if (oracle_.counts().Total() >= maxFindings) {
      std::printf("week: stopping early after %d findings\n", oracle_.counts().Total());
      break;
    }
  }
  shell_.reset();
  if (home_.tovira().started() && !home_.tovira().Wait(Millis(0))) EndDay();
  Watch(2500);  // the block let go at the last exit
  figures_.counts = oracle_.counts();
  figures_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return figures_;
}

bool WeekRun::Step(const WeekStep& step) {
  switch (step.action) {
    case WeekAction::StartDay:
      return StartDay(step);
    case WeekAction::EndDay:
      return EndDay();
    case WeekAction::Frame:
      return SendFrame(step);
    case WeekAction::LostByte:
      AwaitFrames();
      if (!Switch("half")) return false;
      ++figures_.lostBytes;
      Watch(step.ms);
      return true;
    case WeekAction::DsrDropout:
    case WeekAction::VanishDropout:
    case WeekAction::LowDsrDropout:
      return Dropout(step);
    case WeekAction::Sleep:
      return SleepAndResume(step);
    case WeekAction::ExplorerRestart: {
      AwaitFrames();
      const auto printed = WineSession::Get().Probe({"explorer-restart"});
      ++figures_.explorerRestarts;
      if (WineSession::Get().Probe({"tray"}).value_or("") != "{\"icon\":true}") {
        std::printf("week: note: after Explorer's restart at step %zu the tray icon is not back (%s)\n",
                    step_ + 1, printed.value_or("no answer").c_str());
      }
      return !ToviraEnded();
    }
    case WeekAction::ExplorerHang:
      shell_ = std::make_unique<StoppedShell>();
      if (!shell_->stopped()) std::printf("week: note: no explorer.exe of the prefix to stop\n");
      ++figures_.explorerHangs;
      return true;
    case WeekAction::ExplorerResume:
      shell_.reset();
      return true;
    case WeekAction::ForeignMessages:
      AwaitFrames();
      WineSession::Get().Probe({"foreign-messages"}, Millis(60000));
      ++figures_.foreignMessages;
      Watch(300);
      if (!ToviraEnded()) return true;
      oracle_.Intervention("Tovira ended after another program's private messages");
      return false;
    case WeekAction::MovedPort:
      return MovedPort();
  }
  return false;
}

bool WeekRun::StartDay(const WeekStep& step) {
  if (active_ != &home_) {
    active_ = &home_;
    if (!Switch("return")) return false;
  }
  std::vector<std::pair<std::string, std::string>> keys = {{"DeviceName", "SW-E2E"},
                                                           {"PortName", home_.portName()}};
  if (step.logPanel) keys.emplace_back("LogMode", "730259");
  if (step.logFile) keys.emplace_back("LogFile", "1");
  WineSession::Get().WriteSettings(keys);
  // The switch is there from the program's start on.
  AwaitClosed();
  const double t = Now();
  Back(t, kBackBound);
  const bool started = step.paired
                           ? home_.StartProgram({WineSession::Get().Win64Tool("tests/tovira_paired.exe"),
                                                 "SW-E2E=" + moved_.portName()})
                           : home_.StartTovira();
  if (!started) {
    oracle_.Intervention("Tovira's window did not come at the start of day " + std::to_string(step.day + 1));
    return false;
  }
  ++figures_.days;
  std::printf("week: day %d of %d begins at step %zu%s%s%s\n", step.day + 1, plan_.days, step_ + 1,
              step.logPanel ? ", log panel on" : "", step.logFile ? ", log file on" : "",
              step.paired ? ", stand-in Bluetooth" : "");
  std::fflush(stdout);
  AwaitReturn(t, kBackBound);
  return true;
}

bool WeekRun::EndDay() {
  AwaitFrames();
  shell_.reset();
  oracle_.Lost(Now());
  Note("driver: close");
  const auto status = home_.CloseTovira();
  ++figures_.exits;
  if (!status) {
    oracle_.Intervention("Tovira did not end when closed");
    home_.tovira().Kill();
  } else if (*status != 0) {
    std::printf("week: note: Tovira ended with status %d at step %zu\n", *status, step_ + 1);
  }
  AwaitClosed();
  return true;
}

bool WeekRun::SendFrame(const WeekStep& step) {
  int state = step.state;
  if (oracle_.portOpen() && oracle_.blockState() == state) state ^= 0x80;  // the block must show it change
  char command[32];
  std::snprintf(command, sizeof command, "state 0x%02X", state);
  if (!Switch(command)) return false;
  ++figures_.frames;
  const auto buttons = std::bitset<5>(static_cast<unsigned>(state)).count();
  (buttons == 0 ? figures_.releases : buttons == 1 ? figures_.presses : figures_.chords) += 1;
  if (step.ms > 0) ++figures_.heldPresses;
  if (((state ^ lastState_) & 0x80) != 0) ++figures_.batteryChanges;
  lastState_ = state;
  AwaitFrames();
  Watch(step.ms + step.gapMs);
  return true;
}

bool WeekRun::Dropout(const WeekStep& step) {
  AwaitFrames();
  if ((lastState_ & 0x1F) != 0) ++figures_.dropoutsWhileHeld;
  const bool dsr = step.action == WeekAction::DsrDropout;
  const auto lost = Switch(dsr ? "dsr off" : "vanish");
  if (!lost) return false;
  oracle_.Lost(*lost);
  AwaitClosed();
  std::optional<double> back;
  if (dsr) {
    ++figures_.dsrDropouts;
    Watch(step.ms);
    back = Switch("dsr on");
  } else if (step.action == WeekAction::VanishDropout) {
    ++figures_.vanishDropouts;
    Watch(step.ms);
    back = Switch("return");
  } else {  // the port opens while DSR stays low for a while
    ++figures_.lowDsrDropouts;
    if (!Switch("dsr off")) return false;
    Watch(step.ms);
    if (!Switch("return")) return false;
    Watch(step.gapMs);
    back = Switch("dsr on");
  }
  if (!back) return false;
  Back(*back, kBackBound);
  if (const auto took = AwaitReturn(*back, kBackBound)) {
    figures_.longestReconnect = std::max(figures_.longestReconnect, *took);
  }
  return true;
}

bool WeekRun::SleepAndResume(const WeekStep& step) {
  AwaitFrames();
  const auto lost = Switch("vanish");
  if (!lost) return false;
  oracle_.Lost(*lost);
  AwaitClosed();
  Watch(step.ms);
  Note("driver: resume");
  if (!WineSession::Get().Probe({"resume"})) std::printf("week: note: the resume message was not taken\n");
  ++figures_.resumes;
  Watch(step.gapMs);
  const auto back = Switch("return");
  if (!back) return false;
  Back(*back, kBackBound);
  if (const auto took = AwaitReturn(*back, kBackBound)) {
    figures_.longestReconnect = std::max(figures_.longestReconnect, *took);
  }
  return true;
}

bool WeekRun::MovedPort() {
  AwaitFrames();
  const auto lost = Switch("vanish");
  if (!lost) return false;
  oracle_.Lost(*lost);
  AwaitClosed();
  // The switch is back at once, on the other port: Tovira has its patience, then
  // the quiet look-up, then the usual bound.
  active_ = &moved_;
  ++figures_.movedPorts;
  Back(*lost, kMovedPortPatience + kBackBound);
  figures_.movedReconnect = AwaitReturn(*lost, kMovedPortPatience + kBackBound).value_or(-1);
  return true;
}

std::optional<double> WeekRun::Switch(const std::string& command, Scenario* on) {
  Scenario& scenario = on != nullptr ? *on : *active_;
  const bool done = scenario.Switch(command);
  std::optional<double> stamp;
  for (const std::string& line : scenario.TakeSwitchLines()) {
    Note("switch " + scenario.portName() + " " + line);
    oracle_.SwitchLine(line);
    stamp = std::strtod(JsonField(line, "t").value_or("0").c_str(), nullptr);
  }
  if (!done) return std::nullopt;
  return stamp;
}

void WeekRun::Drain() {
  TargetMonitor& monitor = home_.monitor();
  while (monitor.ReadOne(Millis(1))) {
  }
  const auto& lines = monitor.lines();
  for (; monitorRead_ < lines.size(); ++monitorRead_) {
    Note("target " + lines[monitorRead_]);
    oracle_.TargetLine(lines[monitorRead_]);
  }
  oracle_.Tick(Now());
}

void WeekRun::Watch(int ms) {
  const auto deadline = std::chrono::steady_clock::now() + Millis(ms);
  for (;;) {
    Drain();
    const auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    home_.monitor().ReadOne(std::min(left, Millis(20)));
  }
}

void WeekRun::AwaitFrames() {
  const auto deadline = std::chrono::steady_clock::now() + Millis(3000);
  Drain();
  while (oracle_.pendingFrames() > 0 && std::chrono::steady_clock::now() < deadline) {
    home_.monitor().ReadOne(Millis(5));
    Drain();
  }
}

void WeekRun::AwaitClosed() {
  const auto deadline = std::chrono::steady_clock::now() + Millis(3000);
  Drain();
  while (oracle_.portOpen() && std::chrono::steady_clock::now() < deadline) {
    home_.monitor().ReadOne(Millis(20));
    Drain();
  }
}

std::optional<double> WeekRun::AwaitReturn(double back, double bound) {
  Drain();
  while (!oracle_.returned() && Now() < back + bound + 0.5) {
    home_.monitor().ReadOne(Millis(20));
    Drain();
  }
  if (!oracle_.returned() || !oracle_.portOpen()) return std::nullopt;
  const double took = oracle_.lastReconnect();
  Note("driver: open after " + std::to_string(took) + " s");
  // Frames within the connect wait may be dropped: the next one waits for the
  // settle time after the last open (a line check may close and open it again).
  const double until = back + bound + 0.5;
  while (Now() < until && (!oracle_.portOpen() || Now() < oracle_.openedAt() + WeekBounds{}.settle + 0.05)) {
    home_.monitor().ReadOne(Millis(20));
    Drain();
  }
  return took;
}

void WeekRun::Back(double t, double bound) {
  Note("driver: the switch is back (bound " + std::to_string(static_cast<int>(bound)) + " s)");
  oracle_.Back(t, bound);
}

void WeekRun::Note(const std::string& line) {
  recent_.push_back(line);
  if (recent_.size() > kRecentEvents) recent_.pop_front();
}

void WeekRun::Found(Finding finding, const std::string& what) {
  if (++printed_ > kPrintedFindings) return;
  const WeekStep& step = plan_.steps[std::min(step_, plan_.steps.size() - 1)];
  std::printf("week: %s at step %zu of %zu (%s; seed %u, scale %g): %s\n", FindingName(finding), step_ + 1,
              plan_.steps.size(), Describe(step).c_str(), plan_.seed, plan_.scale, what.c_str());
  std::printf("week:   the last events before it:\n");
  for (const std::string& line : recent_) std::printf("week:     %s\n", line.c_str());
  std::fflush(stdout);
}

bool WeekRun::ToviraEnded() {
  return home_.tovira().Wait(Millis(0)).has_value();
}

}  // namespace tovira::e2e
