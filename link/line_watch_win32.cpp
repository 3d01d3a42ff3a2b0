#include "link/line_watch_win32.h"

#include <stdexcept>

#include "link/serial_worker.h"

namespace tovira {
namespace {

// Wine answers the line-change wait by sampling every millisecond inside it:
// the program's own 10 ms samples cost less there.
bool LineEventsHonoured() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

// A plain sleep between samples costs one wake-up, where a timed wait on an
// event costs more under Wine; the stop is read from memory, not asked of the
// system (a round trip to Wine's server every sample). A failed sample counts
// as a change too (the port has gone).
void PollLines(LineWatchState& state) {
  constexpr DWORD kFailed = MAXDWORD;
  DWORD last = kFailed - 1;  // nothing sampled yet
  while (!state.stopping.load(std::memory_order_acquire)) {
    DWORD status = 0;
    const DWORD now = ::GetCommModemStatus(state.port, &status) ? status : kFailed;
    if (now != last && last != kFailed - 1) ::SetEvent(state.changed.get());
    last = now;
    ::Sleep(static_cast<DWORD>(link_timing::kLineCheckPeriod.count()));
  }
}

// The driver's own line-change wait. False when it cannot be had or fails
// (the watch then polls); true when the watch was stopped.
bool WaitForLineEvents(LineWatchState& state) {
  const UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done || !::SetCommMask(state.port, EV_CTS | EV_DSR | EV_RLSD)) return false;
  for (;;) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    DWORD mask = 0;
    if (!::WaitCommEvent(state.port, &mask, &overlapped) && ::GetLastError() != ERROR_IO_PENDING)
      return false;
    const HANDLE events[] = {done.get(), state.stop.get()};
    const DWORD woke = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0) {
      // Stopped: a new mask ends the wait under way, which must end before
      // its OVERLAPPED goes.
      ::SetCommMask(state.port, 0);
      DWORD unused = 0;
      ::GetOverlappedResult(state.port, &overlapped, &unused, TRUE);
      return true;
    }
    DWORD unused = 0;
    if (!::GetOverlappedResult(state.port, &overlapped, &unused, FALSE)) return false;
    ::SetEvent(state.changed.get());
  }
}

void WatchLines(const std::shared_ptr<LineWatchState>& state) {
  // A lost switch is noticed by this thread: it runs beside the link's, above normal.
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
  if (!LineEventsHonoured() || !WaitForLineEvents(*state)) {
    DWORD status = 0;
    if (LineEventsHonoured()) {
      // Said only while the port still answers: a port that went is the link's loss to tell.
      if (::GetCommModemStatus(state->port, &status)) state->waitFailed = true;
      ::SetEvent(state->changed.get());
    }
    PollLines(*state);
  }
  std::lock_guard<std::mutex> lock(state->mutex);
  state->ended = true;
  state->endedChanged.notify_all();
}

}  // namespace

LineWatch::LineWatch(HANDLE port, UniqueHandle changed)
    : state_(std::make_shared<LineWatchState>(port, std::move(changed),
                                              UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)))),
      thread_(Started(state_)) {}

std::thread LineWatch::Started(const std::shared_ptr<LineWatchState>& state) {
  if (!state->stop || !state->changed) throw std::runtime_error("no events for the line watch");
  return std::thread(WatchLines, state);
}

LineWatch::~LineWatch() {
  Stop(INFINITE);
}

bool LineWatch::Stop(DWORD bound) {
  if (!thread_.joinable()) return true;
  state_->stopping.store(true, std::memory_order_release);
  ::SetEvent(state_->stop.get());
  std::unique_lock<std::mutex> lock(state_->mutex);
  const bool ended = bound == INFINITE
                         ? (state_->endedChanged.wait(lock, [this] { return state_->ended; }), true)
                         : state_->endedChanged.wait_for(lock, std::chrono::milliseconds(bound),
                                                         [this] { return state_->ended; });
  lock.unlock();
  if (ended) {
    thread_.join();
  } else {
    thread_.detach();  // it holds its state
  }
  return ended;
}

}  // namespace tovira
