// Starting and stopping workers with real threads (also run under ThreadSanitizer),
// on virtual time unless a test needs a real pause: the link's pauses pass at
// once, its stop bound stays real.

#include "link/serial_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
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
  void WaitForBytes(std::size_t, std::chrono::milliseconds limit, const StopSignal& stop) override {
    stop.WaitFor(limit);
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

}  // namespace
}  // namespace tovira
