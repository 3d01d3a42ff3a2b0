// The window's view of the link: the link's thread never waits, the window gets
// the latest state and every log line and balloon, in order.

#include "ui/status_feed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>

namespace tovira {
namespace {

class StatusFeedTest : public testing::Test {
 protected:
  StatusFeedTest() { feed.SetWindowShown(true); }

  int wakes = 0;
  StatusFeed feed{[this] {
                    ++wakes;
                    return true;
                  },
                  [] {
                    return LocalTimeOfDay{9, 8, 7, 654};
                  }};
};

TEST_F(StatusFeedTest, WindowGetsTheLatestStatesAndEveryLineWithOneWakePerLook) {
  feed.SetLogging(true);
  feed.PortOpen(true);
  feed.Frame(SwitchState::FromByte(0x01));
  feed.Log(L"first");
  feed.Frame(SwitchState::FromByte(0x81));
  feed.Lines(LineLamps{true, true, true, false, false, true});
  feed.Balloon(L"connected");
  feed.WarningBalloon(L"lost");
  feed.Log(L"second");
  EXPECT_EQ(wakes, 1) << "one wake until the window looks";

  const StatusChanges seen = feed.Take();
  EXPECT_EQ(seen.portOpen, true);
  EXPECT_EQ(seen.state, SwitchState::FromByte(0x81));
  EXPECT_TRUE(seen.stateAfterPortChange);
  EXPECT_EQ(seen.lines, (LineLamps{true, true, true, false, false, true}));
  EXPECT_EQ(seen.log, L"09:08:07.65\tfirst\r\n09:08:07.65\tsecond\r\n");
  // A low battery and a loss warn; everything else informs.
  EXPECT_EQ(seen.balloons,
            (std::vector<BalloonNote>{{L"電池残量が少なくなっています。", BalloonKind::kWarning},
                                      {L"connected", BalloonKind::kInformation},
                                      {L"lost", BalloonKind::kWarning}}));
  EXPECT_TRUE(feed.Take().Empty());

  feed.Frame(SwitchState::FromByte(0x02));
  feed.PortOpen(false);  // the close came last: the window shows it after the frame
  EXPECT_EQ(wakes, 2);
  const StatusChanges closed = feed.Take();
  EXPECT_EQ(closed.state, SwitchState::FromByte(0x02));
  EXPECT_FALSE(closed.stateAfterPortChange);
}

TEST_F(StatusFeedTest, ALowBatteryIsSaidOncePerEpisode) {
  const struct {
    std::uint8_t state;
    std::optional<bool> batteryLow;
    std::size_t balloons;
  } frames[] = {
      {0x00, std::nullopt, 0}, {0x80, true, 1},         {0x81, std::nullopt, 0}, {0x80, std::nullopt, 0},
      {0x01, false, 0},        {0x00, std::nullopt, 0}, {0x82, true, 1},
  };
  for (const auto& frame : frames) {
    SCOPED_TRACE(int{frame.state});
    feed.Frame(SwitchState::FromByte(frame.state));
    const StatusChanges seen = feed.Take();
    EXPECT_EQ(seen.batteryLow, frame.batteryLow);
    EXPECT_EQ(seen.balloons.size(), frame.balloons);
  }
  feed.PortOpen(false);
  EXPECT_EQ(feed.Take().batteryLow, false) << "the tooltip's line goes with the link";
  feed.PortOpen(true);
  EXPECT_EQ(feed.Take().batteryLow, std::nullopt) << "and does not come back before a frame says so";
  feed.Frame(
      SwitchState::FromByte(0x80));  // the same episode across a dropout: the line again, no second balloon
  const StatusChanges again = feed.Take();
  EXPECT_EQ(again.batteryLow, true);
  EXPECT_TRUE(again.balloons.empty());
}

TEST_F(StatusFeedTest, AHiddenWindowIsWokenOnlyForWhatTheTrayShowsAndTheLog) {
  feed.SetWindowShown(false);
  feed.SetLogging(true);
  const struct {
    const char* report;
    std::function<void()> make;
    bool wakes;
  } reports[] = {
      {"a frame", [&] { feed.Frame(SwitchState::FromByte(0x01)); }, false},
      {"line changes",
       [&] {
         feed.Lines(LineLamps{true, true, true, false, false, true});
       },
       false},
      {"a low battery", [&] { feed.Frame(SwitchState::FromByte(0x80)); }, true},
      {"a frame in the episode", [&] { feed.Frame(SwitchState::FromByte(0x82)); }, false},
      {"its end", [&] { feed.Frame(SwitchState::FromByte(0x00)); }, true},
      {"the port", [&] { feed.PortOpen(false); }, true},
      {"a balloon", [&] { feed.Balloon(L"b"); }, true},
      {"a log line", [&] { feed.Log(L"l"); }, true},
  };
  for (const auto& report : reports) {
    SCOPED_TRACE(report.report);
    const int before = wakes;
    report.make();
    EXPECT_EQ(wakes - before, report.wakes ? 1 : 0);
    feed.Take();
  }
  feed.Frame(SwitchState::FromByte(0x04));
  feed.SetWindowShown(true);
  EXPECT_EQ(feed.Take().state, SwitchState::FromByte(0x04)) << "shown, the window catches up by itself";
  const int beforeShown = wakes;
  feed.Frame(SwitchState::FromByte(0x05));
  EXPECT_EQ(wakes - beforeShown, 1) << "shown, a frame wakes it again";
}

TEST(StatusFeed, AWakeThatCouldNotBePostedIsAskedForAgainByTheNextChange) {
  // The window's queue is full twice; a wake lost for good would freeze the window.
  const bool posted[] = {false, false, true, true};
  std::size_t asked = 0;
  StatusFeed feed([&] { return posted[std::min(asked++, std::size(posted) - 1)]; },
                  [] { return LocalTimeOfDay{}; });
  feed.SetWindowShown(true);
  feed.PortOpen(true);
  feed.Frame(SwitchState::FromByte(0x01));
  feed.Lines(LineLamps{});
  feed.Frame(SwitchState::FromByte(0x02));  // the third wake was posted: nothing more until the window looks
  EXPECT_EQ(asked, 3U);
  EXPECT_EQ(feed.Take().state, SwitchState::FromByte(0x02));
  feed.Frame(SwitchState::FromByte(0x03));
  EXPECT_EQ(asked, 4U);
}

TEST(StatusFeed, AWindowThatLooksOnlyWhenWokenGetsEveryLineInOrderWhileTheLinkRuns) {
  std::mutex mutex;
  std::condition_variable woken;
  bool wake = false;
  StatusFeed feed(
      [&] {
        std::lock_guard<std::mutex> lock(mutex);
        wake = true;
        woken.notify_one();
        return true;
      },
      [] { return LocalTimeOfDay{}; });
  feed.SetWindowShown(true);
  feed.SetLogging(true);
  constexpr int kLines = 1000;
  // Each frame's state counts its line; the last one, all five buttons, ends the run.
  const auto stateOf = [](int line) {
    return SwitchState::FromByte(static_cast<std::uint8_t>(line == kLines - 1 ? 0x1F : line % 0x1F));
  };
  std::thread link([&] {
    for (int i = 0; i < kLines; ++i) {
      feed.Log(std::to_wstring(i));
      feed.Frame(stateOf(i));
    }
  });
  std::wstring seen;
  std::optional<SwitchState> lastState;
  while (lastState != stateOf(kLines - 1)) {
    std::unique_lock<std::mutex> lock(mutex);
    // A lost wake would leave the window waiting here with news in the feed.
    ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(10), [&] { return wake; }));
    wake = false;
    lock.unlock();
    const StatusChanges changes = feed.Take();
    seen += changes.log;
    if (changes.state) lastState = changes.state;
  }
  link.join();
  std::wstring expected;
  for (int i = 0; i < kLines; ++i) expected += FormatLogLine({}, std::to_wstring(i));
  EXPECT_EQ(seen + feed.Take().log, expected);
}

TEST_F(StatusFeedTest, AWindowThatNeverLooksHoldsBackNothingAndKeepsOnlyTheNewest) {
  feed.SetLogging(true);
  for (int i = 0; i < 20000; ++i) {
    feed.Log(L"line " + std::to_wstring(i));
    feed.Balloon(L"balloon " + std::to_wstring(i));
  }
  EXPECT_EQ(wakes, 1);
  const StatusChanges seen = feed.Take();
  EXPECT_LE(seen.log.size(), kLogPanelLimit);
  EXPECT_NE(seen.log.find(L"\tline 19999\r\n"), std::wstring::npos);
  ASSERT_EQ(seen.balloons.size(), StatusFeed::kBalloonLimit);
  EXPECT_EQ(seen.balloons.back().text, L"balloon 19999");

  feed.SetLogging(false);  // the log panel is off: lines are dropped, nothing wakes
  feed.Log(L"unseen");
  EXPECT_TRUE(feed.Take().Empty());
  EXPECT_EQ(wakes, 1);
}

}  // namespace
}  // namespace tovira
