#pragma once
// Runs a week's plan against the real Tovira of mode 2 under Wine: the virtual
// switch plays every event, the target monitor watches, and the week's oracle
// judges every line as it comes. Figures of what was done and found.

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "tests/e2e_host/scenario.h"
#include "tests/e2e_host/stopped_shell.h"
#include "tests/e2e_host/week_oracle.h"
#include "tests/e2e_host/week_plan.h"

namespace tovira::e2e {

struct WeekFigures {
  int days = 0;
  int frames = 0;
  int presses = 0;
  int chords = 0;
  int releases = 0;
  int heldPresses = 0;
  int batteryChanges = 0;
  int dsrDropouts = 0;
  int vanishDropouts = 0;
  int lowDsrDropouts = 0;
  int dropoutsWhileHeld = 0;
  int resumes = 0;
  int explorerRestarts = 0;
  int explorerHangs = 0;
  int foreignMessages = 0;
  int exits = 0;
  int lostBytes = 0;
  int movedPorts = 0;
  double longestReconnect = 0;  // the switch back to the port open, seconds
  double movedReconnect = -1;   // the same for the moved COM number
  double seconds = 0;
  int stepsDone = 0;
  WeekCounts counts;
};

class WeekRun {
 public:
  // Tovira's patience before it looks for a moved port (app/moved_port_watch.h).
  static constexpr double kMovedPortPatience = 30;
  static constexpr double kBackBound = 10;

  explicit WeekRun(const WeekPlan& plan);
  ~WeekRun();

  // Runs the plan; stops early after `maxFindings` findings.
  WeekFigures Run(int maxFindings = 40);

 private:
  bool Step(const WeekStep& step);
  bool StartDay(const WeekStep& step);
  bool EndDay();
  bool SendFrame(const WeekStep& step);
  bool Dropout(const WeekStep& step);
  bool SleepAndResume(const WeekStep& step);
  bool MovedPort();

  // A switch command on the active switch (or `on`); the line's time stamp.
  std::optional<double> Switch(const std::string& command, Scenario* on = nullptr);
  // Reads what the monitor printed, hands it to the oracle and lets it judge the time.
  void Drain();
  // Watches for `ms`.
  void Watch(int ms);
  // Watches until the frames sent have reached the target or are judged lost.
  void AwaitFrames();
  // Watches until byte 0 falls (up to 3 s), so that the return shows as a new open.
  void AwaitClosed();
  // The switch is back at `back`: watches until the port is open and the settle
  // time has passed (or `bound` ran out); the seconds it took to open.
  std::optional<double> AwaitReturn(double back, double bound);
  void Back(double t, double bound);
  void Note(const std::string& line);
  void Found(Finding finding, const std::string& what);
  bool ToviraEnded();

  const WeekPlan& plan_;
  std::size_t step_ = 0;
  WeekFigures figures_;
  WeekOracle oracle_;
  Scenario home_;   // the switch's usual port; holds the monitor and the program
  Scenario moved_;  // the port it comes back on after it moved
  Scenario* active_;
  std::size_t monitorRead_ = 0;
  std::deque<std::string> recent_;
  std::unique_ptr<StoppedShell> shell_;
  int lastState_ = 0;
  int printed_ = 0;
};

}  // namespace tovira::e2e
