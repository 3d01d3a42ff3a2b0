// A simulated week of use: the real Tovira of mode 2 under Wine through a seeded
// week of a user's events (week_plan), every target line judged as it comes by an
// oracle that shares no code with Tovira (week_oracle). The test run plays a slice
// of the week (fixed seed, 2 days, 1/36 of the events, about a minute); the whole
// week is a step of scripts/bench (scripts/bench-week, about half an hour):
//   TOVIRA_WEEK_SCALE=1 [TOVIRA_WEEK_SEED=N] build/host/tests/tovira_e2e_runner --gtest_filter='Week.*'
// A finding prints the seed, the scale and the step number, which replay it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/e2e_host/week_run.h"

namespace tovira::e2e {
namespace {

constexpr unsigned kSliceSeed = 20261210;
constexpr double kSliceScale = 0.028;

unsigned Seed() {
  const char* value = std::getenv("TOVIRA_WEEK_SEED");
  return value != nullptr && *value != '\0' ? static_cast<unsigned>(std::strtoul(value, nullptr, 0))
                                            : kSliceSeed;
}

double Scale() {
  const char* value = std::getenv("TOVIRA_WEEK_SCALE");
  const double scale = value != nullptr ? std::atof(value) : 0;
  return scale > 0 ? scale : kSliceScale;
}

void PrintFigures(const WeekPlan& plan, const WeekFigures& f) {
  std::printf("week: seed %u, scale %g: %d simulated days in %.0f s (%d of %zu steps)\n", plan.seed,
              plan.scale, f.days, f.seconds, f.stepsDone, plan.steps.size());
  std::printf(
      "week: %d frames: %d single presses, %d chords, %d releases; %d held presses; %d battery changes\n",
      f.frames, f.presses, f.chords, f.releases, f.heldPresses, f.batteryChanges);
  std::printf(
      "week: %d dropouts: %d DSR, %d vanished port, %d port open with DSR low (%d while a button was held)\n",
      f.dsrDropouts + f.vanishDropouts + f.lowDsrDropouts, f.dsrDropouts, f.vanishDropouts, f.lowDsrDropouts,
      f.dropoutsWhileHeld);
  std::printf(
      "week: %d sleeps and resumes, %d Explorer restarts, %d Explorer hangs, %d foreign-message barrages, "
      "%d exits and fresh starts, %d lost bytes, %d moved COM numbers\n",
      f.resumes, f.explorerRestarts, f.explorerHangs, f.foreignMessages, f.exits, f.lostBytes, f.movedPorts);
  std::printf("week: phantom %d, stuck %d, frames lost %d, interventions %d\n", f.counts.phantom,
              f.counts.stuck, f.counts.framesLost, f.counts.interventions);
  std::printf("week: longest reconnect (switch back to port open) %.2f s", f.longestReconnect);
  if (f.movedPorts > 0) {
    std::printf(
        "; moved COM number: port open %.1f s after the switch moved (bound %.0f s = patience + %.0f s)",
        f.movedReconnect, WeekRun::kMovedPortPatience + WeekRun::kBackBound, WeekRun::kBackBound);
  }
  std::printf(
      "\nweek: replay: TOVIRA_WEEK_SEED=%u TOVIRA_WEEK_SCALE=%g build/host/tests/tovira_e2e_runner "
      "--gtest_filter='Week.*'\n",
      plan.seed, plan.scale);
  std::fflush(stdout);
}

TEST(Week, SliceOfAWeekOfUseHasNoPhantomNoStuckPressNoLostFrameAndNeedsNoIntervention) {
  const WeekPlan plan = MakeWeekPlan(Seed(), Scale());
  WeekFigures figures;
  {
    WeekRun run(plan);
    figures = run.Run();
  }
  PrintFigures(plan, figures);
  EXPECT_EQ(figures.stepsDone, static_cast<int>(plan.steps.size())) << "the week stopped early";
  EXPECT_EQ(figures.counts.phantom, 0);
  EXPECT_EQ(figures.counts.stuck, 0);
  EXPECT_EQ(figures.counts.framesLost, 0);
  EXPECT_EQ(figures.counts.interventions, 0);
}

}  // namespace
}  // namespace tovira::e2e
