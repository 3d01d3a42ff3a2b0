#include "tests/e2e_host/week_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace tovira::e2e {
namespace {

// The whole week's counts.
constexpr int kWeekDays = 7;
// About 10,000 presses and chords, with the releases between them.
constexpr int kWeekFrames = 17000;
constexpr int kWeekDropoutsOfEachKind = 50;
constexpr int kWeekSleeps = 15;
constexpr int kWeekExplorerRestarts = 6;
constexpr int kWeekExplorerHangs = 4;
constexpr int kWeekForeignMessages = 3;
constexpr int kWeekLostBytes = 30;

using Unit = std::vector<WeekStep>;

int Scaled(int count, double scale, int least) {
  return std::max(least, static_cast<int>(std::lround(count * scale)));
}

class Planner {
 public:
  explicit Planner(unsigned seed) : random_(seed) {}

  int Between(int low, int high) { return low + static_cast<int>(random_() % (high - low + 1)); }
  bool Chance(int percent) { return static_cast<int>(random_() % 100) < percent; }

  // A frame step whose state is filled in later, in order.
  WeekStep Frame(bool press = false) {
    WeekStep step{WeekAction::Frame};
    step.state = press ? -1 : -2;
    return step;
  }

  // The special events' steps. Each return of the switch is followed by a frame
  // (the first relayed frame is part of the return); a dropout begins now and then
  // while a button is held.
  Unit Special(WeekAction action, bool whileHeld) {
    Unit unit;
    if (whileHeld) unit.push_back(Frame(true));
    WeekStep step{action};
    switch (action) {
      case WeekAction::DsrDropout:
        step.ms = Between(300, 1500);
        break;
      case WeekAction::VanishDropout:
        step.ms = Between(400, 2000);
        break;
      case WeekAction::LowDsrDropout:
        step.ms = Between(400, 1500);
        step.gapMs = Between(800, 3000);
        break;
      case WeekAction::Sleep:
        step.ms = Between(2000, 5000);
        step.gapMs = Between(0, 800);
        break;
      case WeekAction::LostByte:
        step.ms = Between(150, 400);
        break;
      default:
        break;
    }
    unit.push_back(step);
    if (action == WeekAction::ExplorerHang) {
      const int frames = Between(40, 90);
      for (int i = 0; i < frames; ++i) unit.push_back(Frame());
      unit.push_back(WeekStep{WeekAction::ExplorerResume});
    }
    unit.push_back(Frame(action != WeekAction::LostByte));
    return unit;
  }

  // Fills in the frames' states: each differs from the one before; releases,
  // single presses, chords and now and then a held press; the battery turns low
  // for a stretch now and then.
  void FillFrames(std::vector<WeekStep>& steps) {
    int state = 0;
    bool batteryLow = false;
    for (WeekStep& step : steps) {
      if (step.action != WeekAction::Frame) continue;
      if (Chance(1)) batteryLow = !batteryLow;
      const int buttons = state & 0x1F;
      int next = 0;
      if (step.state == -1 || buttons == 0 || Chance(25)) {
        do {
          next = Chance(75) ? 1 << Between(0, 4) : Between(1, 31);
        } while (next == buttons);
      }
      state = next | (batteryLow ? 0x80 : 0);
      step.state = state;
      step.ms = (state & 0x1F) != 0 && Chance(3) ? Between(300, 1200) : 0;  // a held press
      step.gapMs = Between(8, 45);
    }
  }

 private:
  std::mt19937 random_;
};

}  // namespace

WeekPlan MakeWeekPlan(unsigned seed, double scale) {
  Planner planner(seed);
  WeekPlan plan;
  plan.seed = seed;
  plan.scale = scale;
  plan.days = std::clamp(static_cast<int>(std::lround(kWeekDays * scale)), 2, kWeekDays);
  const int frames = Scaled(kWeekFrames, scale, 60);
  // The special events, each with its day.
  std::vector<std::pair<int, WeekAction>> specials;
  const auto add = [&](WeekAction action, int count) {
    for (int i = 0; i < count; ++i) specials.emplace_back(planner.Between(0, plan.days - 1), action);
  };
  add(WeekAction::DsrDropout, Scaled(kWeekDropoutsOfEachKind, scale, 1));
  add(WeekAction::VanishDropout, Scaled(kWeekDropoutsOfEachKind, scale, 1));
  add(WeekAction::LowDsrDropout, Scaled(kWeekDropoutsOfEachKind, scale, 1));
  add(WeekAction::Sleep, Scaled(kWeekSleeps, scale, 1));
  add(WeekAction::ExplorerRestart, Scaled(kWeekExplorerRestarts, scale, 1));
  add(WeekAction::ExplorerHang, Scaled(kWeekExplorerHangs, scale, 1));
  add(WeekAction::ForeignMessages, Scaled(kWeekForeignMessages, scale, 1));
  add(WeekAction::LostByte, Scaled(kWeekLostBytes, scale, 1));
  // The moved COM number: once in a plan of a tenth of the week or more, on the
  // day before the last.
  const int movedDay = scale >= 0.1 ? plan.days - 2 : -1;
  bool firstDropout = true;
  for (int day = 0; day < plan.days; ++day) {
    WeekStep start{WeekAction::StartDay, day};
    start.logPanel = day == 0 || (day != 1 && planner.Chance(50));
    start.logFile = day == 1 || (day != 0 && planner.Chance(30));
    start.paired = day == movedDay;
    plan.steps.push_back(start);
    // The day's frames, with its special events at random places among them.
    std::vector<Unit> units(static_cast<std::size_t>(frames / plan.days), Unit{planner.Frame()});
    for (const auto& [when, action] : specials) {
      if (when != day) continue;
      const bool dropout = action == WeekAction::DsrDropout || action == WeekAction::VanishDropout ||
                           action == WeekAction::LowDsrDropout || action == WeekAction::Sleep;
      const bool whileHeld = dropout && (firstDropout || planner.Chance(40));
      firstDropout = firstDropout && !dropout;
      units.insert(units.begin() + planner.Between(1, static_cast<int>(units.size()) - 1),
                   planner.Special(action, whileHeld));
    }
    if (day == movedDay)
      units.insert(units.begin() + static_cast<long>(units.size() / 2),
                   planner.Special(WeekAction::MovedPort, true));
    for (const Unit& unit : units) {
      for (WeekStep step : unit) {
        step.day = day;
        plan.steps.push_back(step);
      }
    }
    plan.steps.push_back(WeekStep{WeekAction::EndDay, day});
  }
  planner.FillFrames(plan.steps);
  return plan;
}

std::string Describe(const WeekStep& step) {
  static const char* const names[] = {"start of day",
                                      "end of day",
                                      "frame",
                                      "lost byte",
                                      "DSR dropout",
                                      "vanished port",
                                      "port open with DSR low",
                                      "sleep and resume",
                                      "Explorer restart",
                                      "Explorer hang",
                                      "Explorer resumes",
                                      "foreign messages",
                                      "moved COM number"};
  char text[160];
  std::snprintf(text, sizeof text, "day %d, %s (state 0x%02X, %d ms, %d ms%s%s%s)", step.day + 1,
                names[static_cast<int>(step.action)], step.state, step.ms, step.gapMs,
                step.logPanel ? ", log panel" : "", step.logFile ? ", log file" : "",
                step.paired ? ", stand-in Bluetooth" : "");
  return text;
}

}  // namespace tovira::e2e
