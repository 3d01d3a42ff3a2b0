#include "bluetooth/device_search.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/texts_ja.h"
#include "bluetooth/bounded_port_query.h"

namespace tovira {
namespace {

TEST(PortLookup, MatchingRules) {
  const std::vector<SerialPortEntry> ports = {
      {L"COM3", L"USB\\VID_0403&PID_6001\\A1"},
      {L"COM12",
       L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1A2B&0&001122AABBCC_C00000000"},
      {L"COM14", L"BTHENUM\\{00001101}\\001122AABBCC_SECOND"},
      {L"PORT7", L"BTHENUM\\{00001101}\\0A0B0C0D0E0F_C0"},
      {L"xCOM-4a2!", L"BTHENUM\\{00001101}\\111111111111_C0"},
      {L"COMX", L"BTHENUM\\{00001101}\\222222222222_C0"},
      {L"COM9", L""},
  };
  const struct {
    const wchar_t* address;
    std::optional<std::wstring> port;
  } cases[] = {
      {L"001122aabbcc", L"COM12"},  // lower case finds upper case; the first match wins
      {L"0a0b0c0d0e0f", L"PORT7"},  // no "COM": the DeviceID as it is
      {L"111111111111", L"COM42"},  // only "COM" and the digits remain
      {L"222222222222", L"COM"},
      {L"ffffffffffff", std::nullopt},
      {L"", L"COM3"},  // the empty text is in every identifier
  };
  for (const auto& c : cases) EXPECT_EQ(PortForAddress(ports, c.address), c.port) << c.address;
  EXPECT_EQ(PortForAddress({}, L"001122aabbcc"), std::nullopt);
}

TEST(PortLookup, CaseFoldingIsOrdinal) {
  EXPECT_TRUE(ContainsIgnoringCase(L"BTHENUM\\AbCdEf", L"abcdef"));
  EXPECT_FALSE(ContainsIgnoringCase(L"abc", L"abcd"));
  EXPECT_FALSE(ContainsIgnoringCase(L"ÄBC", L"äbc")) << "no language rules";
}

TEST(BluetoothAddress, MostSignificantByteFirstInLowerCase) {
  EXPECT_EQ(BluetoothAddressText({0xCC, 0xBB, 0xAA, 0x22, 0x11, 0x00}), L"001122aabbcc");
  EXPECT_EQ(BluetoothAddressText({0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A}), L"0a0b0c0d0e0f");
}

class FakeDevices final : public BluetoothDeviceSource {
 public:
  std::vector<BluetoothDevice> devices;
  bool fails = false;
  std::optional<std::vector<BluetoothDevice>> FindDevices() override {
    if (fails) return std::nullopt;
    return devices;
  }
};

class FakePorts final : public SerialPortSource {
 public:
  std::vector<SerialPortEntry> ports;
  bool fails = false;
  int queries = 0;
  std::optional<std::vector<SerialPortEntry>> QueryPorts() override {
    ++queries;
    if (fails) return std::nullopt;
    return ports;
  }
};

class RecordingHost final : public SearchHost {
 public:
  explicit RecordingHost(std::atomic<bool>* endAfterFirstDevice = nullptr)
      : endAfterFirst_(endAfterFirstDevice) {}
  void ShowBalloon(const std::wstring& text) override { calls.push_back(L"balloon:" + text); }
  void ShowSearching(bool searching) override { calls.push_back(searching ? L"lock" : L"unlock"); }
  void StopLink() override { calls.push_back(L"stop"); }
  void ClearDevices() override { calls.push_back(L"clear"); }
  void AddDevice(const DeviceWithPort& device, bool selected) override {
    calls.push_back(L"add:" + device.name + L"=" + device.port + (selected ? L" selected" : L""));
    if (endAfterFirst_ != nullptr) *endAfterFirst_ = true;
  }
  void SetPortName(const std::wstring& port) override { calls.push_back(L"port:" + port); }
  void StartLink() override { calls.push_back(L"start"); }
  std::vector<std::wstring> calls;

 private:
  std::atomic<bool>* endAfterFirst_;
};

BluetoothDevice Device(const wchar_t* name, std::uint8_t last) {
  return {name, {last, 0, 0, 0, 0, 0}};
}

SerialPortEntry PortFor(std::uint8_t last, const wchar_t* deviceId) {
  wchar_t id[64];
  std::swprintf(id, 64, L"BTHENUM\\{00001101}\\0000000000%02X_C0", last);
  return {deviceId, id};
}

const std::wstring kStart = L"balloon:" + std::wstring(texts::kSearchStarted);
const std::wstring kEnd = L"balloon:" + std::wstring(texts::kSearchFinished);

// The address text of Device(…, last).
std::wstring AddressOf(std::uint8_t last) {
  return BluetoothAddressText({last, 0, 0, 0, 0, 0});
}

TEST(DeviceSearch, Scenarios) {
  const struct {
    const char* name;
    std::vector<BluetoothDevice> devices;
    std::vector<SerialPortEntry> ports;
    bool queryFails;
    std::vector<std::wstring> calls;
    bool devicesFail = false;
    std::wstring savedAddress{};
  } cases[] = {
      {"no device", {}, {}, false, {L"lock", L"stop", L"clear", kStart, L"port:", kEnd, L"unlock"}},
      {"saved device present",
       {Device(L"other", 1), Device(L"SW", 2)},
       {PortFor(1, L"COM3"), PortFor(2, L"COM5")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:other=COM3", L"add:SW=COM5 selected", L"port:COM5", kEnd,
        L"unlock", L"start"}},
      {"saved device absent",
       {Device(L"other", 1)},
       {PortFor(1, L"COM3")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:other=COM3", L"port:", kEnd, L"unlock"}},
      {"two bearing the saved name and no saved address: the later wins",
       {Device(L"SW", 1), Device(L"SW", 2)},
       {PortFor(1, L"COM3"), PortFor(2, L"COM5")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:SW=COM3", L"add:SW=COM5 selected", L"port:COM5", kEnd,
        L"unlock", L"start"}},
      {"two bearing the saved name: the saved address wins, listed first",
       {Device(L"SW", 1), Device(L"SW", 2)},
       {PortFor(1, L"COM3"), PortFor(2, L"COM5")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:SW=COM3 selected", L"add:SW=COM5", L"port:COM3", kEnd,
        L"unlock", L"start"},
       false,
       AddressOf(1)},
      {"two bearing the saved name: the saved address wins, listed last",
       {Device(L"SW", 2), Device(L"SW", 1)},
       {PortFor(1, L"COM3"), PortFor(2, L"COM5")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:SW=COM5", L"add:SW=COM3 selected", L"port:COM3", kEnd,
        L"unlock", L"start"},
       false,
       AddressOf(1)},
      {"the saved address not found: the last bearing the saved name",
       {Device(L"SW", 1), Device(L"SW", 2)},
       {PortFor(1, L"COM3"), PortFor(2, L"COM5")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:SW=COM3", L"add:SW=COM5 selected", L"port:COM5", kEnd,
        L"unlock", L"start"},
       false,
       AddressOf(7)},
      {"the saved address under another name is not the saved device",
       {Device(L"SW", 1), Device(L"renamed", 2)},
       {PortFor(1, L"COM3"), PortFor(2, L"COM5")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:SW=COM3 selected", L"add:renamed=COM5", L"port:COM3", kEnd,
        L"unlock", L"start"},
       false,
       AddressOf(2)},
      {"a device without a port between others is left out",
       {Device(L"a", 1), Device(L"noport", 9), Device(L"SW", 2)},
       {PortFor(1, L"COM3"), PortFor(2, L"COM5")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:a=COM3", L"add:SW=COM5 selected", L"port:COM5", kEnd,
        L"unlock", L"start"}},
      {"a name differing in case is not the saved one",
       {Device(L"sw", 2)},
       {PortFor(2, L"COM5")},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:sw=COM5", L"port:", kEnd, L"unlock"}},
      // Nothing learnt: the link goes back to the port it had (COM7 here).
      {"a failed port query keeps the link as it was",
       {Device(L"SW", 2)},
       {},
       true,
       {L"lock", L"stop", L"clear", kStart, L"add:SW=COM7 selected", kEnd, L"unlock", L"start"}},
      {"devices that cannot be read keep the link as it was",
       {},
       {},
       false,
       {L"lock", L"stop", L"clear", kStart, L"add:SW=COM7 selected", kEnd, L"unlock", L"start"},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevices devices;
    devices.devices = c.devices;
    FakePorts ports;
    ports.ports = c.ports;
    ports.fails = c.queryFails;
    devices.fails = c.devicesFail;
    RecordingHost host;
    std::atomic<bool> ending{false};
    RunDeviceSearch({L"SW", c.savedAddress}, L"COM7", devices, ports, host, ending);
    EXPECT_EQ(host.calls, c.calls);
  }
}

TEST(DeviceSearch, OneQueryServesEveryDevice) {
  FakeDevices devices;
  FakePorts ports;
  for (std::uint8_t i = 1; i <= 20; ++i) {
    devices.devices.push_back(Device(L"d", i));
    ports.ports.push_back(PortFor(i, L"COM1"));
  }
  RecordingHost host;
  std::atomic<bool> ending{false};
  const SearchOutcome outcome = RunDeviceSearch({L"SW", L""}, L"", devices, ports, host, ending);
  EXPECT_EQ(outcome.listed, 20);
  EXPECT_EQ(ports.queries, 1);
  EXPECT_EQ(outcome.portQueries, 1);
}

TEST(DeviceSearch, TakesAtMost256Devices) {
  FakeDevices devices;
  FakePorts ports;
  for (int i = 0; i < 300; ++i) devices.devices.push_back({L"d" + std::to_wstring(i), {1, 0, 0, 0, 0, 0}});
  ports.ports.push_back(PortFor(1, L"COM1"));
  RecordingHost host;
  std::atomic<bool> ending{false};
  EXPECT_EQ(RunDeviceSearch({L"d299", L""}, L"", devices, ports, host, ending).listed, 256);
}

TEST(DeviceSearch, ShutdownCutsTheSearchShort) {
  FakeDevices devices;
  devices.devices = {Device(L"SW", 1), Device(L"SW2", 2)};
  FakePorts ports;
  ports.ports = {PortFor(1, L"COM3"), PortFor(2, L"COM5")};
  std::atomic<bool> ending{false};
  RecordingHost host(&ending);
  const SearchOutcome outcome = RunDeviceSearch({L"SW", L""}, L"", devices, ports, host, ending);
  EXPECT_TRUE(outcome.cutShort);
  EXPECT_EQ(host.calls, (std::vector<std::wstring>{L"lock", L"stop", L"clear", kStart,
                                                   L"add:SW=COM3 selected", L"port:COM3"}))
      << "no end balloon, the controls stay locked, no worker";
}

TEST(MovedPort, TheQuietLookUpTakesOnlyThePersonsOwnSwitch) {
  const struct {
    const char* name;
    std::vector<BluetoothDevice> devices;
    SavedDevice saved;
    std::optional<std::wstring> port;
    bool portsFail = false;
    bool devicesFail = false;
  } cases[] = {
      {"two of the name: the saved address, listed first",
       {Device(L"SW", 1), Device(L"SW", 2)},
       {L"SW", AddressOf(1)},
       L"COM3"},
      {"two of the name: the saved address, listed last",
       {Device(L"SW", 2), Device(L"SW", 1)},
       {L"SW", AddressOf(1)},
       L"COM3"},
      {"the saved address absent: not another of the name",
       {Device(L"SW", 2)},
       {L"SW", AddressOf(1)},
       std::nullopt},
      {"the saved address without a port",
       {Device(L"SW", 9), Device(L"SW", 2)},
       {L"SW", AddressOf(9)},
       std::nullopt},
      {"no saved address and two of the name: which is the person's is not known",
       {Device(L"SW", 1), Device(L"other", 3), Device(L"SW", 2)},
       {L"SW", L""},
       std::nullopt},
      {"no saved address and one of the name with a port",
       {Device(L"SW", 9), Device(L"other", 3), Device(L"SW", 2)},
       {L"SW", L""},
       L"COM8"},
      {"a name differing in case", {Device(L"SW", 2)}, {L"sw", L""}, std::nullopt},
      {"ports that cannot be read", {Device(L"SW", 2)}, {L"SW", L""}, std::nullopt, true},
      {"devices that cannot be read", {Device(L"SW", 2)}, {L"SW", L""}, std::nullopt, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevices devices;
    devices.devices = c.devices;
    devices.fails = c.devicesFail;
    FakePorts ports;
    ports.ports = {PortFor(1, L"COM3"), PortFor(2, L"COM8"), PortFor(3, L"COM4")};
    ports.fails = c.portsFail;
    EXPECT_EQ(FindDevicePort(c.saved, devices, ports), c.port);
  }
}

// A query that answers only when the test lets it.
class HeldPorts final : public SerialPortSource {
 public:
  struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool answered = false;
    int calls = 0;
  };
  explicit HeldPorts(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}
  std::optional<std::vector<SerialPortEntry>> QueryPorts() override {
    std::unique_lock<std::mutex> lock(gate_->mutex);
    ++gate_->calls;
    gate_->changed.wait(lock, [this] { return gate_->open; });
    gate_->answered = true;
    gate_->changed.notify_all();
    return std::vector<SerialPortEntry>{{L"COM5", L""}};
  }

 private:
  std::shared_ptr<Gate> gate_;
};

TEST(BoundedPortQuery, AQueryThatDoesNotAnswerInTimeCountsAsFailedAndOneThatDoesPassesThrough) {
  auto gate = std::make_shared<HeldPorts::Gate>();
  BoundedPortSource held(std::make_unique<HeldPorts>(gate), std::chrono::milliseconds(50));
  EXPECT_EQ(held.QueryPorts(), std::nullopt) << "the search goes on without waiting for the driver";
  BoundedPortSource next(std::make_unique<HeldPorts>(gate), std::chrono::seconds(30));
  EXPECT_EQ(next.QueryPorts(), std::nullopt) << "while one is stuck, the next fails at once";
  {
    std::unique_lock<std::mutex> lock(gate->mutex);
    EXPECT_EQ(gate->calls, 1) << "no second query beside the stuck one";
    gate->open = true;
    gate->changed.notify_all();
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (PortQueryUnderWay() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(PortQueryUnderWay()) << "the query left behind ends";
  BoundedPortSource quick(std::make_unique<HeldPorts>(gate), std::chrono::seconds(30));
  const auto ports = quick.QueryPorts();
  ASSERT_TRUE(ports);
  EXPECT_EQ(ports->at(0).deviceId, L"COM5");
}

}  // namespace
}  // namespace tovira
