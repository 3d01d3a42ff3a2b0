#pragma once
// A device search on a thread of its own: one at a time, and one that is still
// running when its owner goes is left to end by itself.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "bluetooth/device_search.h"

namespace tovira {

// Where a search finds devices and ports: made on the search's own thread (the
// port query needs COM there). The program uses the platform's; a test may bring
// its own.
struct SearchSources {
  std::function<std::unique_ptr<BluetoothDeviceSource>()> devices;
  std::function<std::unique_ptr<SerialPortSource>()> ports;
  // The paired devices only, without an inquiry: for the quiet look-up of a moved port.
  std::function<std::unique_ptr<BluetoothDeviceSource>()> pairedDevices;
};

class SearchThread {
 public:
  SearchThread() = default;
  // A search still running is detached: its host's calls fail once the window is gone.
  ~SearchThread();
  SearchThread(const SearchThread&) = delete;
  SearchThread& operator=(const SearchThread&) = delete;

  // Starts a search unless one is running; false when one was.
  bool Start(std::shared_ptr<SearchHost> host, const SearchSources& sources, const SavedDevice& saved,
             const std::wstring& currentPort, std::shared_ptr<const std::atomic<bool>> appEnding);
  bool Running() const;

 private:
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> ended_;
};

}  // namespace tovira
