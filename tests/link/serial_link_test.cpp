// The start and stop steps with real threads (also run under ThreadSanitizer).

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
using testing_fakes::RecordingDisplay;

// A connected, idle switch on real time; counts the ports open at once.
class LivePort final : public SerialPort {
 public:
  explicit LivePort(std::atomic<int>& openNow) : openNow_(openNow) {}
  bool IsOpen() const override { return open_; }
  std::optional<ModemLines> ReadModemLines() override { return ModemLines{true, true, true}; }
  std::optional<std::size_t> BytesToRead(std::wstring&) override { return 0; }
  void WaitForBytes(std::size_t, std::chrono::milliseconds limit) override {
    std::this_thread::sleep_for(limit);
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

// A window thread in miniature: every Inv call waits until Serve runs it.
class WindowThreadDisplay final : public LinkDisplay {
 public:
  void ShowBalloon(const std::wstring& text) override { record_.ShowBalloon(text); }
  void ShowMsgInv(const std::wstring& text) override {
    HandOff([this, text] { record_.ShowMsgInv(text); });
  }
  void ShowEnableInv(bool enabled) override {
    HandOff([this, enabled] { record_.ShowEnableInv(enabled); });
  }
  void ShowSwitchInv(int state) override {
    HandOff([this, state] { record_.ShowSwitchInv(state); });
  }
  void ShowCOMInv(const LineStates& lines) override {
    HandOff([this, lines] { record_.ShowCOMInv(lines); });
  }

  // Runs what arrives for `limit`.
  void Serve(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    std::unique_lock<std::mutex> lock(mutex_);
    while (arrived_.wait_until(lock, until, [this] { return !queue_.empty(); })) {
      auto call = std::move(queue_.front());
      queue_.pop_front();
      call();
      ++served_;
      done_.notify_all();
    }
  }
  bool WaitFor(const std::wstring& event, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
      Serve(20ms);
      if (record_.Count(event) > 0) return true;
    }
    return false;
  }
  int Pending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(queue_.size());
  }
  const RecordingDisplay& record() const { return record_; }

 private:
  void HandOff(std::function<void()> call) {
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back(std::move(call));
    const long ticket = ++queued_;
    arrived_.notify_all();
    done_.wait(lock, [&] { return served_ >= ticket; });
  }

  RecordingDisplay record_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::condition_variable done_;
  std::deque<std::function<void()>> queue_;
  long queued_ = 0;
  long served_ = 0;
};

class ServingServer final : public HandOffServer {
 public:
  explicit ServingServer(WindowThreadDisplay& display) : display_(display) {}
  void ServeFor(std::chrono::milliseconds limit) override { display_.Serve(limit); }

 private:
  WindowThreadDisplay& display_;
};

class SleepingServer final : public HandOffServer {
 public:
  void ServeFor(std::chrono::milliseconds limit) override { std::this_thread::sleep_for(limit); }
};

class SerialLinkTest : public testing::Test {
 protected:
  SerialLinkTest()
      : link(SerialLinkParts{TargetMode::Quorandel, opener, std::make_shared<SteadyLinkClock>(), display,
                             ending}) {}

  ~SerialLinkTest() override {
    // Leave no worker behind: release what blocks and serve until it ends.
    opener->Release();
    *ending = true;
    ServingServer server(*display);
    link.Stop(server);
  }

  std::shared_ptr<LiveOpener> opener = std::make_shared<LiveOpener>();
  std::shared_ptr<WindowThreadDisplay> display = std::make_shared<WindowThreadDisplay>();
  std::shared_ptr<std::atomic<bool>> ending = std::make_shared<std::atomic<bool>>(false);
  SerialLink link;
};

TEST_F(SerialLinkTest, StopWhileConnectedEndsWithinACycleWhileHandOffsAreServed) {
  link.Start(L"COM9", L"SW-1");
  ASSERT_TRUE(display->WaitFor(L"msg:COM9接続済", 5s));
  EXPECT_TRUE(link.Running());
  ServingServer server(*display);
  EXPECT_TRUE(link.Stop(server));
  EXPECT_FALSE(link.Alive());
  EXPECT_FALSE(link.Running());
  EXPECT_EQ(opener->OpenNow(), 0) << "the worker closed its port";
  EXPECT_EQ(display->record().Events().back(), L"enable:0");
}

TEST_F(SerialLinkTest, StopThatServesNoHandOffGivesUpAtItsBound) {
  link.Start(L"COM9", L"SW-1");
  ASSERT_TRUE(display->WaitFor(L"msg:COM9接続済", 5s));
  SleepingServer server;
  EXPECT_FALSE(link.Stop(server)) << "the worker stays in its hand-off until the window thread serves it";
  EXPECT_TRUE(link.Alive());
  EXPECT_EQ(display->Pending(), 1);
}

TEST_F(SerialLinkTest, SuccessorOfAWorkerBlockedInAnOpenNeverRunsBesideIt) {
  opener->Block();
  link.Start(L"COM9", L"SW-1");
  ServingServer server(*display);
  ASSERT_TRUE(display->WaitFor(L"msg:COM9接続中...", 5s));
  EXPECT_FALSE(link.Stop(server)) << "the open still blocks";
  link.Start(L"COM4", L"SW-2");
  display->Serve(300ms);
  EXPECT_EQ(opener->Names(), std::vector<std::wstring>{L"COM9"}) << "the successor waits";
  opener->Release();
  ASSERT_TRUE(display->WaitFor(L"msg:COM4接続済", 5s));
  EXPECT_EQ(opener->MaxOpenAtOnce(), 1);
  EXPECT_EQ(opener->Names(), (std::vector<std::wstring>{L"COM9", L"COM4"}));
  EXPECT_EQ(display->record().Count(L"balloon:SW-1と接続しました。"), 0)
      << "the stopped worker never connected";
}

TEST_F(SerialLinkTest, ShutdownEndsAWorkerThatWaitsForItsPredecessor) {
  opener->Block();
  link.Start(L"COM9", L"SW-1");
  ServingServer server(*display);
  ASSERT_TRUE(display->WaitFor(L"msg:COM9接続中...", 5s));
  EXPECT_FALSE(link.Stop(server));
  link.Start(L"COM4", L"SW-2");
  *ending = true;
  EXPECT_TRUE(link.Stop(server)) << "the waiting successor ends at once";
}

}  // namespace
}  // namespace tovira
