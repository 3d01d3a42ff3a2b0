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
  explicit LivePort(std::atomic<int>& openNow) : openNow_(openNow) {}
  bool IsOpen() const override { return open_; }
  std::optional<ModemLines> ReadModemLines() override { return ModemLines{true, true, true}; }
  std::optional<std::size_t> BytesToRead(std::wstring&) override { return 0; }
  void WaitForBytes(std::size_t, std::chrono::milliseconds limit, const StopSignal& stop) override {
    stop.WaitFor(limit);
  }
  ReadResult ReadByte() override { return {}; }
  void Close() override {
    if (open_) --openNow_;
    open_ = false;
  }

 private:
  std::atomic<int>& openNow_;
  bool open_ = true;
};

// Opens LivePorts; while `blockOpens` is set an open hangs until released, as a
// Bluetooth port whose device is away can.
class LiveOpener final : public SerialPortOpener {
 public:
  OpenResult Open(const std::wstring& portName) override {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      names_.push_back(portName);
      if (blockOpens_) released_.wait(lock, [this] { return !blockOpens_; });
    }
    const int now = ++openNow_;
    int seen = maxOpen_.load();
    while (now > seen && !maxOpen_.compare_exchange_weak(seen, now)) {
    }
    return {OpenStatus::Opened, std::make_unique<LivePort>(openNow_)};
  }
  void Block() {
    std::lock_guard<std::mutex> lock(mutex_);
    blockOpens_ = true;
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
    link->Stop();
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

TEST_F(SerialLinkTest, ChoicesWhileAnOpenBlocksKeepOneWorkerAndTheBlockedOneIsCutOff) {
  opener->Block();
  link->Start(L"COM9", L"SW-1");  // A: its open hangs
  ASSERT_TRUE(WaitFor(L"msg:COM9接続中...", 5s));
  EXPECT_FALSE(link->Stop()) << "the open still blocks";
  const std::size_t cutOffAt = events->Events().size();
  link->Start(L"COM4", L"SW-2");  // B waits for A ...
  EXPECT_TRUE(link->Stop()) << "... and ends at once when stopped";
  link->Start(L"COM5", L"SW-3");  // C must wait for A too
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(opener->Names(), std::vector<std::wstring>{L"COM9"}) << "no worker runs beside A";
  opener->Release();
  ASSERT_TRUE(WaitFor(L"msg:COM5接続済", 5s));
  EXPECT_EQ(opener->MaxOpenAtOnce(), 1);
  EXPECT_EQ(opener->Names(), (std::vector<std::wstring>{L"COM9", L"COM5"}));
  const auto seen = events->Events();
  ASSERT_GT(seen.size(), cutOffAt);
  EXPECT_EQ(seen[cutOffAt], L"balloon:SW-3と接続中．．．") << "nothing of A after its cut-off";
  EXPECT_EQ(events->Count(L"enable:1"), 1);
}

TEST_F(SerialLinkTest, ShutdownEndsAWorkerThatWaitsForItsPredecessor) {
  opener->Block();
  link->Start(L"COM9", L"SW-1");
  ASSERT_TRUE(WaitFor(L"msg:COM9接続中...", 5s));
  EXPECT_FALSE(link->Stop());
  link->Start(L"COM4", L"SW-2");
  *ending = true;
  EXPECT_TRUE(link->Stop()) << "the waiting successor ends at once";
}

}  // namespace
}  // namespace tovira
