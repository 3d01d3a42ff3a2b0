#include "bluetooth/bounded_port_query.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tovira {
namespace {

struct QueryState {
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  std::optional<std::vector<SerialPortEntry>> ports;
};

}  // namespace

BoundedPortSource::BoundedPortSource(std::unique_ptr<SerialPortSource> inner, std::chrono::milliseconds bound)
    : inner_(std::move(inner)), bound_(bound) {}

std::optional<std::vector<SerialPortEntry>> BoundedPortSource::QueryPorts() {
  auto state = std::make_shared<QueryState>();
  std::thread query([inner = inner_, state] {
    std::optional<std::vector<SerialPortEntry>> ports;
    try {
      ports = inner->QueryPorts();
    } catch (...) {
      // A query that throws has failed; nothing crosses the thread's entry.
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    state->ports = std::move(ports);
    state->done = true;
    state->answered.notify_all();
  });
  std::unique_lock<std::mutex> lock(state->mutex);
  if (!state->answered.wait_for(lock, bound_, [&state] { return state->done; })) {
    lock.unlock();
    query.detach();  // it owns what it uses and ends when the platform lets it
    return std::nullopt;
  }
  lock.unlock();
  query.join();
  return std::move(state->ports);
}

}  // namespace tovira
