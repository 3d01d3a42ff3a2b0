#pragma once
// A week of a user's events, seeded and scaled: days that begin with a fresh start
// (as at logon) and end with an exit, presses and chords with battery changes
// between them, and the week's dropouts, sleeps, Explorer restarts and hangs,
// foreign messages, lost bytes and one moved COM number spread over the days.
// Scale 1 is the whole week (about 17,000 frames, 10,000 of them presses and
// chords, and 150 dropouts); a smaller
// scale keeps at least one of every kind of event; the moved port (30 s of
// Tovira's patience) comes only in a tenth of the week or more.

#include <string>
#include <vector>

namespace tovira::e2e {

enum class WeekAction {
  StartDay,         // settings written (log panel, log file), the program started
  EndDay,           // the program closed as at log-off
  Frame,            // one frame of `state`, then `ms` held and `gapMs` before the next step
  LostByte,         // half a frame, then `ms` (at least 150) of quiet
  DsrDropout,       // DSR off for `ms`, then on
  VanishDropout,    // the port gone for `ms`, then back under its name
  LowDsrDropout,    // the port gone for `ms`, back with DSR low for `gapMs`, then DSR on
  Sleep,            // the switch gone for `ms` while the PC sleeps; the resume message; the switch back
  ExplorerRestart,  // Explorer restarts: the tray's icons dropped, "TaskbarCreated"
  ExplorerHang,     // Explorer stopped (SIGSTOP) until the matching ExplorerResume
  ExplorerResume,
  ForeignMessages,  // another program's private messages with junk parameters
  MovedPort,        // the switch leaves its port and comes back on another COM number
};

struct WeekStep {
  WeekAction action;
  int day = 0;
  int state = 0;
  int ms = 0;
  int gapMs = 0;
  bool logPanel = false;  // StartDay
  bool logFile = false;   // StartDay
  bool paired = false;    // StartDay: the program with stand-in Bluetooth, for the moved port
};

struct WeekPlan {
  unsigned seed = 0;
  double scale = 1;
  int days = 0;
  std::vector<WeekStep> steps;
};

WeekPlan MakeWeekPlan(unsigned seed, double scale);
std::string Describe(const WeekStep& step);

}  // namespace tovira::e2e
