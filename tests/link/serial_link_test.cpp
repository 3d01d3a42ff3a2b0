// Starting and stopping workers with real threads (also run under ThreadSanitizer),
// on virtual time unless a test needs a real pause: the link's pauses pass at
// once, its stop bound stays real.

#include "link/serial_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>

#include "tests/link/link_fakes.h"

namespace tovira {
namespace {

using namespace std::chrono_literals;
using testing_fakes::RecordingEvents;

// Virtual time for several worker threads: a pause moves it on and returns at
// once, so that a connection (attempt pause, settle pause) costs no real second.
class InstantClock final : public LinkClock {
 public:
  TimePoint Now() override { return TimePoint{} + std::chrono::milliseconds(elapsedMs_.load()); }
  void Pause(std::chrono::milliseconds duration, const StopSignal&) override {
    elapsedMs_ += duration.count();
  }
  void PauseUntilNudged(std::chrono::milliseconds duration, const StopSignal& stop) override {
    stop.TakeNudge();
    Pause(duration, stop);
  }

 private:
  std::atomic<long long> elapsedMs_{0};
};

// A connected, idle switch on real time; tells its opener when it closes.
class LivePort final : public SerialPort {
 public:
  LivePort(std::function<void()> whileClosing, std::function<void()> closed)
      : whileClosing_(std::move(whileClosing)), closed_(std::move(closed)) {}
  bool IsOpen() const override { return open_; }
  std::optional<ModemLines> ReadModemLines() override { return ModemLines{true, true, true}; }
  std::optional<std::size_t> BytesToRead(std::wstring&) override { return 0; }
  PortNotice TakeNotice() override { return PortNotice::None; }
  bool TakeReceiveError() override { return false; }
  std::size_t WaitForBytes(std::size_t, std::chrono::milliseconds limit, const StopSignal& stop) override {
    stop.WaitFor(limit);
    return 0;
  }
  ReadResult ReadByte() override { return {}; }
  bool Close() override {
    whileClosing_();
    if (open_) closed_();
    open_ = false;
    return true;
  }

 private:
  std::function<void()> whileClosing_;
  std::function<void()> closed_;
  bool open_ = true;
};

// Opens LivePorts and counts the ports open at once; while blocked, an open or a
// close hangs until released, as a Bluetooth port whose device is away can.
class LiveOpener final : public SerialPortOpener {
 public:
  OpenResult Open(const std::wstring& portName) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      names_.push_back(portName);
    }
    WaitWhileBlocked(portName);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      maxOpen_ = std::max(maxOpen_, ++openNow_);
    }
    changed_.notify_all();
    return {OpenStatus::Opened, std::make_unique<LivePort>([this, portName] { WaitWhileBlocked(portName); },
                                                           [this] { CountClose(); })};
  }
  void WaitWhileBlocked(const std::wstring& portName) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !blockOpens_ || (!blockedPort_.empty() && blockedPort_ != portName); });
  }
  // Opens and closes hang from now on: of this port only, or of every port.
  void Block(std::wstring portName = L"") {
    std::lock_guard<std::mutex> lock(mutex_);
    blockOpens_ = true;
    blockedPort_ = std::move(portName);
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      blockOpens_ = false;
    }
    changed_.notify_all();
  }
  // Waits (at most `limit`) until `openNow` ports are open and at most `maxOpen`
  // ever were at once.
  bool WaitForCounts(int openNow, int maxOpen, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return openNow_ == openNow && maxOpen_ == maxOpen; });
  }
  std::vector<std::wstring> Names() {
    std::lock_guard<std::mutex> lock(mutex_);
    return names_;
  }
  int MaxOpenAtOnce() {
    std::lock_guard<std::mutex> lock(mutex_);
    return maxOpen_;
  }
  int OpenNow() {
    std::lock_guard<std::mutex> lock(mutex_);
    return openNow_;
  }

 private:
  void CountClose() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --openNow_;
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;  // a release, an open or a close
  bool blockOpens_ = false;
  std::wstring blockedPort_;
  std::vector<std::wstring> names_;
  int openNow_ = 0;
  int maxOpen_ = 0;
};

class SerialLinkTest : public testing::Test {
 protected:
  SerialLinkTest() { link = MakeLink(std::make_shared<InstantClock>()); }

  ~SerialLinkTest() override {
    // Leave no worker behind: release what blocks and let it end.
    opener->Release();
    *ending = true;
    if (link) link->Stop();
  }

  std::unique_ptr<SerialLink> MakeLink(std::shared_ptr<LinkClock> clock) {
    SerialLinkParts parts;
    parts.mode = TargetMode::Quorandel;
    parts.opener = opener;
    parts.clock = std::move(clock);
    parts.events = events;
    parts.appEnding = ending;
    parts.stopBound = 200ms;
    return std::make_unique<SerialLink>(std::move(parts));
  }

  bool WaitFor(const std::wstring& event, std::chrono::milliseconds limit) {
    return events->WaitFor(event, limit);
  }

  std::shared_ptr<LiveOpener> opener = std::make_shared<LiveOpener>();
  std::shared_ptr<RecordingEvents> events = std::make_shared<RecordingEvents>();
  std::shared_ptr<std::atomic<bool>> ending = std::make_shared<std::atomic<bool>>(false);
  std::unique_ptr<SerialLink> link;
};

TEST_F(SerialLinkTest, StopWhileConnectedEndsTheWorkerAtOnce) {
  link->Start(L"COM9", L"SW-1");
  ASSERT_TRUE(WaitFor(L"msg:COM9接続済", 5s));
  EXPECT_TRUE(link->Running());
  EXPECT_TRUE(link->Stop());
  EXPECT_FALSE(link->Alive());
  EXPECT_FALSE(link->Running());
  EXPECT_EQ(opener->OpenNow(), 0) << "the worker closed its port";
  EXPECT_EQ(events->Events().back(), L"enable:0");
}

TEST_F(SerialLinkTest, ANewWorkerWaitsForOneThatHangsOnlyUntilTheBoundAndThenCutsItOff) {
  opener->Block(L"COM9");
  link->Start(L"COM9", L"SW-1");  // A: its open hangs in the driver
  ASSERT_TRUE(WaitFor(L"msg:COM9接続中...", 5s));
  const std::size_t cutOffAt = events->Events().size();
  link->Start(L"COM5", L"SW-3");  // C, without a stop before it
  ASSERT_TRUE(WaitFor(L"msg:COM5接続済", 5s)) << "the chosen switch connects while A still hangs";
  const auto seen = events->Events();
  ASSERT_GT(seen.size(), cutOffAt);
  EXPECT_EQ(seen[cutOffAt], L"balloon:SW-3と接続中．．．") << "nothing of A after its cut-off";
  opener->Release();  // A's open returns at last, and A lets its port go unseen
  EXPECT_TRUE(opener->WaitForCounts(1, 2, 5s)) << "A closed its late port";
  EXPECT_EQ(events->Count(L"enable:1"), 1) << "A's late port was never shown";
  EXPECT_TRUE(link->Stop());
}

TEST_F(SerialLinkTest, AStartWithoutAStopReplacesTheWorkerAndOneStopEndsThemAll) {
  link->Start(L"COM9", L"SW-1");
  ASSERT_TRUE(WaitFor(L"msg:COM9接続済", 5s));
  link->Start(L"COM4", L"SW-2");  // as a stray choice during a search would
  ASSERT_TRUE(WaitFor(L"msg:COM4接続済", 5s));
  EXPECT_EQ(opener->MaxOpenAtOnce(), 1);
  EXPECT_TRUE(link->Stop());
  EXPECT_EQ(opener->OpenNow(), 0);
}

TEST_F(SerialLinkTest, AWorkerCutOffWhileItsPortIsOpenHasItsCloseReportedForIt) {
  link->Start(L"COM9", L"SW-1");
  ASSERT_TRUE(WaitFor(L"msg:COM9接続済", 5s));
  opener->Block();  // the driver never lets the port go
  EXPECT_FALSE(link->Stop());
  EXPECT_EQ(events->Events().back(), L"enable:0") << "the target and the window are told the link is gone";
  EXPECT_EQ(events->Count(L"enable:0"), 1);
  opener->Release();
  link.reset();
  EXPECT_EQ(events->Count(L"enable:0"), 1) << "nothing more of the cut-off worker";
}

TEST_F(SerialLinkTest, ShutdownEndsAWorkerThatWaitsForItsPredecessor) {
  // On real time: the successor is in its attempt pause when the program ends,
  // and the stop must cut that pause short.
  link = MakeLink(std::make_shared<SteadyLinkClock>());
  opener->Block();
  link->Start(L"COM9", L"SW-1");
  ASSERT_TRUE(WaitFor(L"msg:COM9接続中...", 5s));
  EXPECT_FALSE(link->Stop());
  link->Start(L"COM4", L"SW-2");
  *ending = true;
  link->Stop();
  EXPECT_FALSE(link->Alive()) << "the waiting successor ends at once";
}

// The real clock's pauses, each on a thread of its own: one that begins after a
// stop, or after a nudge it may take, ends at once (well within the bound here,
// against its own hour), and a nudge ends one pause only.
TEST(SteadyLinkClock, APauseThatBeginsAfterAStopOrANudgeEndsAtOnceAndUsesTheNudge) {
  using Pause = void (SteadyLinkClock::*)(std::chrono::milliseconds, const StopSignal&);
  const struct {
    const char* name;
    Pause pause;
    void (StopSignal::*before)();
  } pauses[] = {
      {"a pause after a stop", &SteadyLinkClock::Pause, &StopSignal::Raise},
      {"an attempt pause after a stop", &SteadyLinkClock::PauseUntilNudged, &StopSignal::Raise},
      {"an attempt pause after a nudge", &SteadyLinkClock::PauseUntilNudged, &StopSignal::Nudge},
  };
  for (const auto& row : pauses) {
    SCOPED_TRACE(row.name);
    SteadyLinkClock clock;
    StopSignal stop;
    (stop.*row.before)();
    std::packaged_task<void()> paused([&] { (clock.*row.pause)(1h, stop); });
    std::future<void> ended = paused.get_future();
    std::thread pausing(std::move(paused));
    const bool endedAtOnce = ended.wait_for(10s) == std::future_status::ready;
    EXPECT_TRUE(endedAtOnce);
    EXPECT_FALSE(stop.TakeNudge()) << "a nudge is taken by the pause it ends, and by no later one";
    if (!endedAtOnce) {  // free it, whatever it waits for
      stop.Raise();
      stop.Nudge();
    }
    pausing.join();
  }
  // A wait that blocks in the platform is woken at once too.
  StopSignal stop;
  stop.Raise();
  bool woken = false;
  const StopSignal::Waker waker(stop, [&woken] { woken = true; });
  EXPECT_TRUE(woken);
}

// Opens LivePorts whose driver holds each close while `holdCloses` is set and
// then lets go by itself: nothing orders its letting go after what the stopping
// side did, so that only the gate can order a worker's late reports after its
// cut-off (which ThreadSanitizer checks here).
class HeldCloseOpener final : public SerialPortOpener {
 public:
  OpenResult Open(const std::wstring&) override {
    ++openNow;
    return {OpenStatus::Opened, std::make_unique<LivePort>(
                                    [this] {
                                      while (holdCloses.load(std::memory_order_relaxed))
                                        std::this_thread::yield();
                                    },
                                    [this] { --openNow; })};
  }
  void HoldCloses(bool hold) { holdCloses.store(hold, std::memory_order_relaxed); }

 private:
  std::atomic<bool> holdCloses{false};
  std::atomic<int> openNow{0};
};

class HeldCloseLinkTest : public SerialLinkTest {
 protected:
  // The link anew, on ports whose close the test holds.
  void Relink(std::chrono::milliseconds stopBound) {
    SerialLinkParts parts;
    parts.mode = TargetMode::Quorandel;
    parts.opener = held;
    parts.clock = std::make_shared<SteadyLinkClock>();
    parts.events = events;
    parts.appEnding = ending;
    parts.stopBound = stopBound;
    link = std::make_unique<SerialLink>(std::move(parts));
  }

  // The `count` reports from the `at`th on.
  std::vector<std::wstring> Reports(std::size_t at, std::size_t count) const {
    std::vector<std::wstring> seen = events->Events();
    seen.resize(std::max(seen.size(), at + count));
    return {seen.begin() + static_cast<std::ptrdiff_t>(at),
            seen.begin() + static_cast<std::ptrdiff_t>(at + count)};
  }

  std::shared_ptr<HeldCloseOpener> held = std::make_shared<HeldCloseOpener>();
};

TEST_F(HeldCloseLinkTest, AWorkerCutOffAtAStopReportsNothingMoreAndLeavesItsLinesToTheNext) {
  Relink(200ms);
  link->Start(L"COM9", L"SW-1");
  ASSERT_TRUE(WaitFor(L"balloon:SW-1と接続しました。", 5s));  // its last report on connecting
  held->HoldCloses(true);                                     // past the stop's bound
  const std::size_t stoppedAt = events->Events().size();
  EXPECT_FALSE(link->Stop());
  held->HoldCloses(false);  // the cut-off worker's close ends, and so does the worker
  for (const auto until = std::chrono::steady_clock::now() + 5s;
       link->Alive() && std::chrono::steady_clock::now() < until;) {
    std::this_thread::yield();
  }
  ASSERT_FALSE(link->Alive());
  link->Start(L"COM4", L"SW-2");
  ASSERT_TRUE(WaitFor(L"balloon:SW-2と接続中．．．", 5s));
  const std::vector<std::wstring> expected = {
      L"enable:0",    // said for the cut-off worker; its own close and lines never pass
      L"com:ocdtrs",  // the next worker corrects the lines the window still shows
      L"balloon:SW-2と接続中．．．"};
  EXPECT_EQ(Reports(stoppedAt, expected.size()), expected);
}

TEST_F(HeldCloseLinkTest, ANewWorkerWaitsForTheEarlierOneToCloseRatherThanCutItOff) {
  Relink(10s);
  link->Start(L"COM9", L"SW-1");
  ASSERT_TRUE(WaitFor(L"balloon:SW-1と接続しました。", 5s));  // its last report on connecting
  held->HoldCloses(true);  // its close takes a moment, far within the bound
  const std::size_t replacedAt = events->Events().size();
  link->Start(L"COM4", L"SW-2");
  // A new worker that did not wait would cut the earlier one off at once and say
  // its close for it: the time to show that, before the close ends.
  WaitFor(L"enable:0", 100ms);
  held->HoldCloses(false);
  ASSERT_TRUE(WaitFor(L"balloon:SW-2と接続中．．．", 5s));
  const std::vector<std::wstring> expected = {L"com:ocdtrs", L"enable:0", L"balloon:SW-2と接続中．．．"};
  EXPECT_EQ(Reports(replacedAt, expected.size()), expected) << "the earlier worker closed and said so itself";
}

}  // namespace
}  // namespace tovira
