// Starting and stopping workers with real threads (also run under ThreadSanitizer).

#include "link/serial_link.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "tests/link/link_fakes.h"

namespace tovira {
namespace {

using namespace std::chrono_literals;
using testing_fakes::RecordingEvents;

// A connected, idle switch on real time; counts the ports open at once.
class LivePort final : public SerialPort {
 public:
  LivePort(std::atomic<int>& openNow, std::function<void()> whileClosing)
      : openNow_(openNow), whileClosing_(std::move(whileClosing)) {}
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
    if (open_) --openNow_;
    open_ = false;
    return true;
  }

 private:
  std::atomic<int>& openNow_;
  std::function<void()> whileClosing_;
  bool open_ = true;
};

// Opens LivePorts; while blocked, an open or a close hangs until released, as a
// Bluetooth port whose device is away can.
class LiveOpener final : public SerialPortOpener {
 public:
  OpenResult Open(const std::wstring& portName) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      names_.push_back(portName);
    }
    WaitWhileBlocked(portName);
    const int now = ++openNow_;
    int seen = maxOpen_.load();
    while (now > seen && !maxOpen_.compare_exchange_weak(seen, now)) {
    }
    return {OpenStatus::Opened,
            std::make_unique<LivePort>(openNow_, [this, portName] { WaitWhileBlocked(portName); })};
  }
  void WaitWhileBlocked(const std::wstring& portName) {
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait(lock, [&] { return !blockOpens_ || (!blockedPort_.empty() && blockedPort_ != portName); });
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
    released_.notify_all();
  }
  std::vector<std::wstring> Names() {
    std::lock_guard<std::mutex> lock(mutex_);
    return names_;
  }
  int MaxOpenAtOnce() const { return maxOpen_.load(); }
  int OpenNow() const { return openNow_.load(); }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool blockOpens_ = false;
  std::wstring blockedPort_;
  std::vector<std::wstring> names_;
  std::atomic<int> openNow_{0};
  std::atomic<int> maxOpen_{0};
};

class SerialLinkTest : public testing::Test {
 protected:
  SerialLinkTest() {
    SerialLinkParts parts;
    parts.mode = TargetMode::Quorandel;
    parts.opener = opener;
    parts.clock = std::make_shared<SteadyLinkClock>();
    parts.events = events;
    parts.appEnding = ending;
    parts.stopBound = 200ms;
    link = std::make_unique<SerialLink>(std::move(parts));
  }

  ~SerialLinkTest() override {
    // Leave no worker behind: release what blocks and let it end.
    opener->Release();
    *ending = true;
    if (link) link->Stop();
  }

  bool WaitFor(const std::wstring& event, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
      if (events->Count(event) > 0) return true;
      std::this_thread::sleep_for(5ms);
    }
    return false;
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
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (!(opener->MaxOpenAtOnce() == 2 && opener->OpenNow() == 1) &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(opener->OpenNow(), 1) << "A closed its late port";
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
