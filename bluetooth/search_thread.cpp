#include "bluetooth/search_thread.h"

namespace tovira {
namespace {

void SearchBody(const std::shared_ptr<SearchHost>& host, const SearchSources& sources,
                const std::shared_ptr<const std::atomic<bool>>& appEnding,
                const std::shared_ptr<std::atomic<bool>>& ended, const SavedDevice& saved,
                const std::wstring& currentPort) {
  try {
    const std::unique_ptr<BluetoothDeviceSource> devices = sources.devices();
    const std::unique_ptr<SerialPortSource> ports = sources.ports();
    RunDeviceSearch(saved, currentPort, *devices, *ports, *host, *appEnding);
  } catch (...) {
    // Nothing crosses the thread's entry.
  }
  *ended = true;
}

}  // namespace

SearchThread::~SearchThread() {
  if (!thread_.joinable()) return;
  if (Running()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

bool SearchThread::Start(std::shared_ptr<SearchHost> host, const SearchSources& sources,
                         const SavedDevice& saved, const std::wstring& currentPort,
                         std::shared_ptr<const std::atomic<bool>> appEnding) {
  if (Running()) return false;
  if (thread_.joinable()) thread_.join();  // it has ended
  ended_ = std::make_shared<std::atomic<bool>>(false);
  thread_ =
      std::thread(&SearchBody, std::move(host), sources, std::move(appEnding), ended_, saved, currentPort);
  return true;
}

bool SearchThread::Running() const {
  return ended_ && !ended_->load();
}

}  // namespace tovira
