#include "link/serial_worker.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "link/frame_codec.h"
#include "tests/link/link_fakes.h"

namespace tovira {
namespace {

using namespace testing_fakes;
using std::chrono::milliseconds;

constexpr TargetMode kMode = TargetMode::Quorandel;

class SerialWorkerTest : public testing::Test {
 protected:
  SerialWorkerTest() { flags.appEnding = &ending; }

  // Runs the worker on this thread until `stopAt` of virtual time (or until it
  // ends by itself).
  void RunUntil(milliseconds stopAt) {
    clock.At(stopAt, [this] { flags.stop.Raise(); });
    SerialWorker worker({kMode, L"COM9", L"SW-1"}, flags, memory, opener, clock, display);
    worker.Run();
  }

  void FrameAt(milliseconds at, std::uint8_t state, int rotation = 0, int tag = 0) {
    const EncodedFrame frame = EncodeFrame(kMode, SwitchState::FromByte(state), rotation, tag);
    opener.script.bytes.push_back({at, frame.control});
    opener.script.bytes.push_back({at, frame.state});
  }

  // After a failed read the worker reports the loss as for a dropped DSR line:
  // the log line, the balloon and the close, then a new attempt, and the next
  // frame is relayed.
  void ExpectLossAndReconnect(const std::wstring& logLine) {
    FrameAt(milliseconds(4000), 0x04);
    RunUntil(milliseconds(4500));
    const auto events = display.Events();
    const auto failure = std::find(events.begin(), events.end(), logLine);
    ASSERT_NE(failure, events.end());
    const std::vector<std::wstring> loss = {
        L"warning:SW-1と接断されました。", L"com:ocdtrs",        L"enable:0",
        L"balloon:SW-1と接続中．．．",     L"msg:COM9接続中...", L"enable:1"};
    ASSERT_GT(events.end() - failure, static_cast<std::ptrdiff_t>(loss.size()));
    EXPECT_TRUE(std::equal(loss.begin(), loss.end(), failure + 1));
    EXPECT_EQ(opener.opens, 2);
    EXPECT_EQ(EventsStartingWith(L"switch:").back(), L"switch:4");
  }

  std::vector<std::wstring> EventsStartingWith(const std::wstring& prefix) const {
    std::vector<std::wstring> found;
    for (const auto& event : display.Events()) {
      if (event.rfind(prefix, 0) == 0) found.push_back(event);
    }
    return found;
  }

  FakeClock clock;
  FakeOpener opener{clock};
  RecordingEvents display{&clock};
  LineMemory memory;
  std::atomic<bool> ending{false};
  WorkerFlags flags;
};

TEST_F(SerialWorkerTest, ConnectsRelaysAFrameAndClosesWhenStopped) {
  FrameAt(milliseconds(2000), 0x05, 3, 7);
  RunUntil(milliseconds(2500));
  const std::vector<std::wstring> expected = {
      L"balloon:SW-1と接続中．．．",
      L"msg:COM9接続中...",
      L"enable:1",
      L"com:OCDtrS",
      L"msg:COM9接続済",
      L"balloon:SW-1と接続しました。",
      L"switch:5",
      L"msg:00000101\t07\n",
      L"com:ocdtrs",
      L"enable:0",
  };
  EXPECT_EQ(display.Events(), expected);
  const auto times = display.Times();
  EXPECT_EQ(times[0], milliseconds(500)) << "an attempt begins with its pause";
  EXPECT_EQ(times[3], milliseconds(1000)) << "the first line check follows the settle pause";
  EXPECT_EQ(times[6], milliseconds(2000)) << "a whole frame ends the idle pause at once";
  EXPECT_EQ(opener.closes, 1);
}

TEST_F(SerialWorkerTest, PortThatCannotBeOpenedIsRetriedEveryHalfSecondWithItsBalloonsOncePerOutage) {
  opener.results.assign(5, OpenStatus::OpenFailed);
  // The sixth attempt (3000 ms) connects at 3500; the switch is lost at 3800 and
  // the next two attempts fail again: a new outage, with its balloons.
  clock.At(milliseconds(3800), [this] {
    opener.script.lines.dsr = false;
    opener.results.assign(2, OpenStatus::OpenFailed);
  });
  RunUntil(milliseconds(5000));
  const std::vector<std::wstring> attempt = {L"msg:COM9接続中...", L"msg:COM9をオープンできません。"};
  std::vector<std::wstring> expected = {L"balloon:SW-1と接続中．．．", attempt[0],
                                        L"balloon:COM9をオープンできません。", attempt[1]};
  for (int i = 1; i < 5; ++i) expected.insert(expected.end(), attempt.begin(), attempt.end());
  const auto events = display.Events();
  ASSERT_GE(events.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), events.begin()));
  const auto times = display.Times();
  std::vector<milliseconds> attempts;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i] == attempt[0]) attempts.push_back(times[i]);
  }
  EXPECT_EQ(attempts, (std::vector<milliseconds>{milliseconds(500), milliseconds(1000), milliseconds(1500),
                                                 milliseconds(2000), milliseconds(2500), milliseconds(3000),
                                                 milliseconds(4300), milliseconds(4800)}));
  EXPECT_EQ(display.Count(L"balloon:SW-1と接続中．．．"), 2);
  EXPECT_EQ(display.Count(L"balloon:COM9をオープンできません。"), 2);
  EXPECT_EQ(display.Count(L"msg:COM9をオープンできません。"), 7);
}

TEST_F(SerialWorkerTest, RefusedPortNameIsLoggedWithoutBalloon) {
  opener.results.assign(3, OpenStatus::NameRefused);
  RunUntil(milliseconds(900));  // asked to stop during the second attempt's pause: it ends there
  const std::vector<std::wstring> expected = {
      L"balloon:SW-1と接続中．．．",
      L"msg:COM9接続中...",
      L"msg:指定したシリアルポートがありません。",
      L"enable:0",
  };
  EXPECT_EQ(display.Events(), expected);
  EXPECT_EQ(clock.Elapsed(), milliseconds(900)) << "the stop cut the pause short";
}

TEST_F(SerialWorkerTest, DroppedDsrLosesTheSwitchAndTheNextConnectionDropsWhatQueued) {
  clock.At(milliseconds(3000), [this] { opener.script.lines.dsr = false; });
  clock.At(milliseconds(3200), [this] { opener.script.lines.dsr = true; });
  FrameAt(milliseconds(3100), 0x01);  // queued while the link was down
  FrameAt(milliseconds(3600), 0x02);  // queued while the new link settled
  FrameAt(milliseconds(4600), 0x04);  // after the connect wait
  RunUntil(milliseconds(5000));
  const auto events = display.Events();
  const std::vector<std::wstring> lost = {L"com:OCdtrS", L"warning:SW-1と接断されました。", L"com:ocdtrs",
                                          L"enable:0", L"balloon:SW-1と接続中．．．"};
  auto at = std::search(events.begin(), events.end(), lost.begin(), lost.end());
  ASSERT_NE(at, events.end()) << "no disconnect sequence";
  EXPECT_EQ(display.Count(L"balloon:SW-1と接続しました。"), 2);
  EXPECT_EQ(EventsStartingWith(L"switch:"), std::vector<std::wstring>{L"switch:4"});
  EXPECT_EQ(opener.opens, 2);
}

TEST_F(SerialWorkerTest, SwitchThatNeverRaisesDsrCyclesThroughConnectAndLoss) {
  opener.script.lines.dsr = false;
  // Opens at 500, 1500, 2500; each settles 500 ms, then its line check finds no DSR.
  RunUntil(milliseconds(3100));
  EXPECT_EQ(display.Count(L"msg:COM9接続中..."), 3);
  EXPECT_EQ(display.Count(L"balloon:SW-1と接続中．．．"), 1) << "never connected: one outage";
  EXPECT_EQ(display.Count(L"warning:SW-1と接断されました。"), 1) << "and one loss balloon for it";
  EXPECT_EQ(display.Count(L"balloon:SW-1と接続しました。"), 0);
  EXPECT_EQ(display.Count(L"msg:COM9接続済"), 0);
}

TEST_F(SerialWorkerTest, LinesThatCannotBeReadCountAsALostSwitch) {
  clock.At(milliseconds(1500), [this] { opener.script.linesFail = true; });
  RunUntil(milliseconds(2100));  // while the second port settles
  EXPECT_EQ(display.Count(L"warning:SW-1と接断されました。"), 1);
  EXPECT_EQ(opener.closes, opener.opens) << "every port opened is closed";
  EXPECT_EQ(opener.opens, 2);
}

TEST_F(SerialWorkerTest, PortClosedByThePlatformCountsAsLostAndAttemptsKeepTheirPause) {
  clock.At(milliseconds(1500), [this] { opener.lastPort->CloseBehindTheWorkersBack(); });
  RunUntil(milliseconds(3000));
  const auto events = display.Events();
  const auto times = display.Times();
  std::vector<milliseconds> attempts;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i] == L"msg:COM9接続中...") attempts.push_back(times[i]);
  }
  ASSERT_EQ(attempts.size(), 2u);
  EXPECT_EQ(attempts[1] - milliseconds(1500), milliseconds(500));
  EXPECT_EQ(display.Count(L"warning:SW-1と接断されました。"), 1);
}

TEST_F(SerialWorkerTest, ReadTimeOutIsIgnoredAndReadingGoesOn) {
  FrameAt(milliseconds(1600), 0x03);
  FrameAt(milliseconds(3000), 0x01);
  opener.script.readOutcomes = {ReadStatus::TimedOut};
  RunUntil(milliseconds(3500));
  EXPECT_EQ(EventsStartingWith(L"switch:"), (std::vector<std::wstring>{L"switch:3", L"switch:1"}));
  EXPECT_EQ(display.Count(L"msg:シリアルポートから読み込めません。"), 0);
}

TEST_F(SerialWorkerTest, FailedReadIsALossAndTheWorkerConnectsAgain) {
  FrameAt(milliseconds(1600), 0x03);
  opener.script.readOutcomes = {ReadStatus::Failed};
  ExpectLossAndReconnect(L"msg:シリアルポートから読み込めません。The device is not ready.");
}

TEST_F(SerialWorkerTest, FailedByteCountIsALossToo) {
  clock.At(milliseconds(1600), [this] { opener.script.bytesToReadFailure = L"Access denied."; });
  clock.At(milliseconds(1700), [this] { opener.script.bytesToReadFailure.reset(); });
  ExpectLossAndReconnect(L"msg:シリアルポートから読み込めません。Access denied.");
}

TEST_F(SerialWorkerTest, ANudgeCutsOneAttemptPauseShort) {
  opener.results = {OpenStatus::OpenFailed, OpenStatus::OpenFailed, OpenStatus::Opened};
  // The first open fails at 500 ms; without the nudge the next would come at 1000 ms.
  // The nudge is used by that attempt: the one after it waits its whole pause.
  clock.At(milliseconds(600), [this] { flags.stop.Nudge(); });
  RunUntil(milliseconds(1200));
  EXPECT_EQ(opener.names.size(), 3U);
  const auto events = display.Events();
  const auto opened = std::find(events.begin(), events.end(), L"enable:1");
  ASSERT_NE(opened, events.end());
  EXPECT_EQ(display.Times()[static_cast<std::size_t>(opened - events.begin())], milliseconds(1100));
}

TEST_F(SerialWorkerTest, ConnectWaitDropsQueuedFramesOnePerCycle) {
  FrameAt(milliseconds(600), 0x01);
  FrameAt(milliseconds(700), 0x02);
  FrameAt(milliseconds(1600), 0x04);
  RunUntil(milliseconds(2000));
  EXPECT_EQ(EventsStartingWith(L"switch:"), std::vector<std::wstring>{L"switch:4"});
}

TEST_F(SerialWorkerTest, FirstFrameAtTheDeadlineIsDecoded) {
  FrameAt(milliseconds(1500), 0x10);  // the deadline: 1000 ms after the open at 500
  RunUntil(milliseconds(1800));
  EXPECT_EQ(EventsStartingWith(L"switch:"), std::vector<std::wstring>{L"switch:16"});
}

// Passes every report on, but the first frame's report throws after it was taken.
class FirstFrameThrows final : public LinkEvents {
 public:
  explicit FirstFrameThrows(LinkEvents& next) : next_(next) {}
  void Balloon(const std::wstring& text) override { next_.Balloon(text); }
  void WarningBalloon(const std::wstring& text) override { next_.WarningBalloon(text); }
  void Log(const std::wstring& text) override { next_.Log(text); }
  void PortOpen(bool open) override { next_.PortOpen(open); }
  void Frame(SwitchState state) override {
    next_.Frame(state);
    if (!thrown_) {
      thrown_ = true;
      throw std::runtime_error("no thread to be had");
    }
  }
  void Lines(const LineStates& lines) override { next_.Lines(lines); }

 private:
  LinkEvents& next_;
  bool thrown_ = false;
};

TEST_F(SerialWorkerTest, AReportThatThrowsCostsTheConnectionNotTheWorker) {
  FrameAt(milliseconds(2000), 0x01);
  FrameAt(milliseconds(5000), 0x04);
  FirstFrameThrows events(display);
  clock.At(milliseconds(5500), [this] { flags.stop.Raise(); });
  SerialWorker worker({kMode, L"COM9", L"SW-1"}, flags, memory, opener, clock, events);
  ASSERT_NO_THROW(worker.Run());
  const auto all = display.Events();
  const auto thrown = std::find(all.begin(), all.end(), L"switch:1");
  ASSERT_NE(thrown, all.end());
  EXPECT_EQ(*(thrown + 1), L"enable:0") << "the port is given up and its close reported";
  EXPECT_EQ(EventsStartingWith(L"switch:").back(), L"switch:4") << "connected again, frames relayed";
  EXPECT_EQ(opener.opens, 2);
  EXPECT_EQ(opener.closes, 2);
}

TEST_F(SerialWorkerTest, FramesPairAsSentAfterALostByteOrAReceiveError) {
  const EncodedFrame first = EncodeFrame(kMode, SwitchState::FromByte(0x01), 3, 1);
  const EncodedFrame next = EncodeFrame(kMode, SwitchState::FromByte(0x08), 5, 2);
  struct Case {
    const char* name;
    std::vector<std::pair<milliseconds, std::uint8_t>> bytes;
    std::vector<milliseconds> receiveErrors;
    std::vector<std::wstring> frames;
    std::wstring logLine;  // expected once
  };
  const Case cases[] = {
      {"a partner within the bound pairs",
       {{milliseconds(2000), next.control}, {milliseconds(2060), next.state}},
       {},
       {L"switch:8"},
       L"msg:00001000\t02\n"},
      {"a byte alone past the bound is dropped",
       {{milliseconds(2000), first.control},
        {milliseconds(2400), next.control},
        {milliseconds(2400), next.state}},
       {},
       {L"switch:8"},
       L"msg:対になるバイトが届かないため、1バイトを捨てました。"},
      {"a receive error drops a half frame at once",
       {{milliseconds(2000), first.control},
        {milliseconds(2030), next.control},
        {milliseconds(2030), next.state}},
       {milliseconds(2000)},
       {L"switch:8"},
       L"msg:受信エラーがありました。組になっていないバイトを捨てました。"},
      {"a receive error keeps whole frames",
       {{milliseconds(2000), first.control}, {milliseconds(2000), first.state}},
       {milliseconds(2000)},
       {L"switch:1"},
       L"msg:受信エラーがありました。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock caseClock;
    FakeOpener caseOpener{caseClock};
    RecordingEvents events{&caseClock};
    WorkerFlags caseFlags;
    caseFlags.appEnding = &ending;
    LineMemory caseMemory;
    caseOpener.script.bytes = c.bytes;
    caseOpener.script.receiveErrors = c.receiveErrors;
    caseClock.At(milliseconds(3000), [&caseFlags] { caseFlags.stop.Raise(); });
    SerialWorker worker({kMode, L"COM9", L"SW-1"}, caseFlags, caseMemory, caseOpener, caseClock, events);
    worker.Run();
    std::vector<std::wstring> frames;
    for (const auto& event : events.Events()) {
      if (event.rfind(L"switch:", 0) == 0) frames.push_back(event);
    }
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(events.Count(c.logLine), 1);
  }
}

TEST_F(SerialWorkerTest, IdenticalFramesAreEachHandedOnAndLogged) {
  FrameAt(milliseconds(1600), 0x01);
  FrameAt(milliseconds(1600), 0x01);
  RunUntil(milliseconds(1800));
  EXPECT_EQ(EventsStartingWith(L"switch:"), (std::vector<std::wstring>{L"switch:1", L"switch:1"}));
  EXPECT_EQ(display.Count(L"msg:00000001\t00\n"), 2);
}

TEST_F(SerialWorkerTest, LineChangesAreShownOncePerChange) {
  clock.At(milliseconds(1500), [this] {
    opener.script.lines.cd = false;
    opener.script.lines.cts = false;
  });
  RunUntil(milliseconds(2500));
  EXPECT_EQ(EventsStartingWith(L"com:"),
            (std::vector<std::wstring>{L"com:OCDtrS", L"com:OcDtrs", L"com:ocdtrs"}));
}

TEST_F(SerialWorkerTest, RememberedLinesCarryOverToTheNextWorker) {
  RunUntil(milliseconds(1200));
  EXPECT_EQ(memory.last, LineStates{});
  // A new worker whose first sample sees every line off shows nothing.
  WorkerFlags next;
  next.appEnding = &ending;
  opener.results = {OpenStatus::OpenFailed};
  RecordingEvents second;
  clock.At(clock.Elapsed() + milliseconds(300), [&next] { next.stop.Raise(); });
  SerialWorker worker({kMode, L"COM9", L"SW-1"}, next, memory, opener, clock, second);
  worker.Run();
  EXPECT_EQ(second.Count(L"com:"), 0);
}

TEST_F(SerialWorkerTest, PortThatOpensAfterTheStopIsClosedWithoutShowingTheSwitchConnected) {
  for (const bool shutdown : {false, true}) {
    SCOPED_TRACE(shutdown ? "program ending" : "another device chosen");
    RecordingEvents seen;
    WorkerFlags own;
    own.appEnding = &ending;
    opener.closes = 0;
    opener.whileOpening = [this, &own, shutdown] {
      if (shutdown) {
        ending = true;
      } else {
        own.stop.Raise();
      }
    };
    ending = false;
    SerialWorker worker({kMode, L"COM9", L"SW-1"}, own, memory, opener, clock, seen);
    worker.Run();
    const std::vector<std::wstring> expected = {L"balloon:SW-1と接続中．．．", L"msg:COM9接続中...",
                                                L"enable:0"};
    EXPECT_EQ(seen.Events(), expected);
    EXPECT_EQ(opener.closes, 1) << "the late port is let go";
  }
}

TEST_F(SerialWorkerTest, ShutdownEndsTheWorkerWithoutAnotherLineCheck) {
  clock.At(milliseconds(1500), [this] {  // as the program's closing does: end flag, then the stop
    ending = true;
    flags.stop.Raise();
  });
  RunUntil(milliseconds(60000));
  EXPECT_EQ(display.Count(L"warning:SW-1と接断されました。"), 0);
  EXPECT_EQ(display.Events().back(), L"enable:0");
  EXPECT_LT(clock.Elapsed(), milliseconds(1600));
}

}  // namespace
}  // namespace tovira
