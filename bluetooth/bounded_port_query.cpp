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

// The process's one port query: a driver that hung one query would hang the
// next too, and each would leave a thread behind.
struct QuerySlot {
  std::mutex mutex;
  std::condition_variable freed;
  bool busy = false;
  bool abandoned = false;  // the query under way is past its bound
};

QuerySlot& TheSlot() {
  static QuerySlot slot;
  return slot;
}

// Waits for a query under way to end, at most `bound`; nothing at once while an
// abandoned one is still stuck. True when the slot is this caller's.
bool TakeSlot(std::chrono::milliseconds bound) {
  QuerySlot& slot = TheSlot();
  std::unique_lock<std::mutex> lock(slot.mutex);
  slot.freed.wait_for(lock, bound, [&slot] { return !slot.busy || slot.abandoned; });
  if (slot.busy) return false;
  slot.busy = true;
  return true;
}

void FreeSlot() {
  QuerySlot& slot = TheSlot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  slot.busy = false;
  slot.abandoned = false;
  slot.freed.notify_all();
}

void AbandonSlot() {
  QuerySlot& slot = TheSlot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  slot.abandoned = true;
  slot.freed.notify_all();
}

}  // namespace

bool PortQueryUnderWay() {
  QuerySlot& slot = TheSlot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  return slot.busy;
}

BoundedPortSource::BoundedPortSource(std::unique_ptr<SerialPortSource> inner, std::chrono::milliseconds bound)
    : inner_(std::move(inner)), bound_(bound) {}

std::optional<std::vector<SerialPortEntry>> BoundedPortSource::QueryPorts() {
  if (!TakeSlot(bound_)) return std::nullopt;
  auto state = std::make_shared<QueryState>();
  std::thread query;
  try {
    query = std::thread([inner = inner_, state] {
      std::optional<std::vector<SerialPortEntry>> ports;
      try {
        ports = inner->QueryPorts();
      } catch (...) {
        // A query that throws has failed; nothing crosses the thread's entry.
      }
      FreeSlot();
      std::lock_guard<std::mutex> lock(state->mutex);
      state->ports = std::move(ports);
      state->done = true;
      state->answered.notify_all();
    });
  } catch (...) {
    FreeSlot();  // no thread: no query
    return std::nullopt;
  }
  std::unique_lock<std::mutex> lock(state->mutex);
  if (!state->answered.wait_for(lock, bound_, [&state] { return state->done; })) {
    lock.unlock();
    AbandonSlot();
    query.detach();  // it owns what it uses and ends when the platform lets it
    return std::nullopt;
  }
  lock.unlock();
  query.join();
  return std::move(state->ports);
}

}  // namespace tovira
