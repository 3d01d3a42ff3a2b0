#include "ui/status_feed.h"

#include <utility>

#include "base/texts_ja.h"

namespace tovira {

StatusFeed::StatusFeed(Wake wake, Clock clock) : wake_(std::move(wake)), clock_(std::move(clock)) {}

void StatusFeed::SetLogging(bool on) {
  logging_ = on;
}

void StatusFeed::SetWindowShown(bool shown) {
  std::lock_guard<std::mutex> lock(mutex_);
  windowShown_ = shown;
}

template <typename Change>
void StatusFeed::Note(const Change& change) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!change() || wakeAsked_) return;
    wakeAsked_ = true;
  }
  if (wake_()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  wakeAsked_ = false;
}

void StatusFeed::Balloon(const std::wstring& text) {
  Note([&] {
    AddBalloon(text, BalloonKind::kInformation);
    return true;
  });
}

void StatusFeed::WarningBalloon(const std::wstring& text) {
  Note([&] {
    AddBalloon(text, BalloonKind::kWarning);
    return true;
  });
}

void StatusFeed::Log(const std::wstring& text) {
  if (!Logging()) return;
  Note([&] {
    std::wstring& log = changes_.log;
    log += FormatLogLine(clock_(), text);
    // The panel keeps only the newest lines; a window that does not take them
    // must not make this grow without end either.
    if (log.size() > kLogPanelLimit) log.erase(0, LogLinesToDrop(log, kLogPanelKeep));
    return true;
  });
}

void StatusFeed::PortOpen(bool open) {
  Note([&] {
    changes_.portOpen = open;
    changes_.stateAfterPortChange = false;
    // The low-battery line goes with the link; the next connection's frames say anew.
    if (!open && std::exchange(batteryLow_, false)) changes_.batteryLow = false;
    return true;
  });
}

void StatusFeed::Frame(SwitchState state) {
  Note([&] {
    changes_.state = state;
    changes_.stateAfterPortChange = changes_.portOpen.has_value();
    const bool low = state.batteryLow();
    bool trayNews = false;
    if (low != batteryLow_) {
      batteryLow_ = low;
      changes_.batteryLow = low;
      trayNews = true;
    }
    // One balloon per episode, however often the link drops within it.
    if (low != lowBatteryBallooned_) {
      lowBatteryBallooned_ = low;
      if (low) AddBalloon(std::wstring(texts::kLowBattery), BalloonKind::kWarning);
      trayNews = true;
    }
    return windowShown_ || trayNews;
  });
}

void StatusFeed::AddBalloon(const std::wstring& text, BalloonKind kind) {
  auto& balloons = changes_.balloons;
  if (balloons.size() >= kBalloonLimit) balloons.erase(balloons.begin());
  balloons.push_back({text, kind});
}

void StatusFeed::Lines(const LineLamps& lines) {
  Note([&] {
    changes_.lines = lines;
    return windowShown_;
  });
}

StatusChanges StatusFeed::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  wakeAsked_ = false;
  return std::exchange(changes_, StatusChanges{});
}

}  // namespace tovira
