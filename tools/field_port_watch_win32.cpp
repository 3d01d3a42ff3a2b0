#include "tools/field_port_watch_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

#include "base/scoped_handle_win32.h"
#include "base/system_error_win32.h"
#include "base/utf8.h"
#include "link/serial_port_win32.h"

namespace tovira::tools {
namespace {

constexpr DWORD kTurnMs = 4;  // the lines' sampling period, give or take the wait
constexpr double kReopenPeriod = 1.0;
constexpr DWORD kCancelBoundMs = 1000;
constexpr DWORD kReadChunk = 256;
// Plain reads in a row that end with no bytes although bytes wait: the handle
// has stopped working (the link's bound).
constexpr int kFruitlessReadLimit = 50;
constexpr DWORD kWatchedEvents = EV_DSR | EV_CTS | EV_RLSD | EV_ERR | EV_RXCHAR;

// An overlapped operation's memory: the driver may write it until it completes.
struct Operation {
  OVERLAPPED overlapped{};
  DWORD eventMask = 0;
  std::uint8_t buffer[kReadChunk]{};
};

std::string Names(DWORD bits, std::initializer_list<std::pair<DWORD, const char*>> names) {
  std::string text;
  for (const auto& [bit, name] : names) {
    if ((bits & bit) == 0) continue;
    text += (text.empty() ? "" : " ") + std::string(name);
    bits &= ~bit;
  }
  if (bits != 0) {
    char rest[16];
    std::snprintf(rest, sizeof rest, "0x%lX", static_cast<unsigned long>(bits));
    text += (text.empty() ? "" : " ") + std::string(rest);
  }
  return text;
}

std::string EventNames(DWORD mask) {
  return Names(mask, {{EV_DSR, "EV_DSR"},
                      {EV_CTS, "EV_CTS"},
                      {EV_RLSD, "EV_RLSD"},
                      {EV_ERR, "EV_ERR"},
                      {EV_RXCHAR, "EV_RXCHAR"}});
}

constexpr DWORD kReceiveErrors = CE_OVERRUN | CE_FRAME | CE_RXPARITY | CE_RXOVER;

std::string ErrorNames(DWORD errors) {
  return Names(errors & kReceiveErrors, {{CE_OVERRUN, "CE_OVERRUN"},
                                         {CE_FRAME, "CE_FRAME"},
                                         {CE_RXPARITY, "CE_RXPARITY"},
                                         {CE_RXOVER, "CE_RXOVER"}});
}

class PortWatch {
 public:
  PortWatch(const WatchPlan& plan, const RunClock& clock, FieldReport& report)
      : plan_(plan), clock_(clock), report_(report) {}
  ~PortWatch() { Close(); }
  PortWatch(const PortWatch&) = delete;
  PortWatch& operator=(const PortWatch&) = delete;

  bool Run(const std::atomic<bool>& stop) {
    for (double now = clock_.Now(); !stop.load() && now < plan_.seconds; now = clock_.Now()) {
      if (port_) {
        Turn();
      } else {
        if (now >= reopenAt_ && !Open()) reopenAt_ = now + kReopenPeriod;
        if (!port_) ::Sleep(kTurnMs);
      }
      report_.Tick(clock_.Now());
      if (plan_.onTurn) plan_.onTurn(clock_.Now());
    }
    Close();
    return everOpened_;
  }

 private:
  bool Open() {
    port_ = OpenSwitchPort(plan_.portName);
    if (!port_) {
      Failed("opening the port as Tovira does", ::GetLastError());
      return false;
    }
    readDone_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    eventDone_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!readDone_ || !eventDone_) {
      Failed("CreateEventW", ::GetLastError());
      port_.reset();
      return false;
    }
    everOpened_ = true;
    plainReads_ = false;  // each connection tries the waiting read again
    fruitlessReads_ = 0;
    report_.PortOpened();
    report_.NoteAt(clock_.Now(), "port " + Utf8(plan_.portName) + " opened (9600 8N1, as Tovira opens it)");
    if (!::SetCommMask(port_.get(), kWatchedEvents)) Failed("SetCommMask", ::GetLastError());
    PollLines();
    KeepReading();
    if (port_) StartEventWait();
    return true;
  }

  // Cancels what is under way and closes the port. A driver that does not let an
  // operation go within the bound keeps its memory, its event and the port.
  void Close() {
    if (!port_) return;
    // A new mask ends a pending line-change wait (with no event), as documented;
    // the cancel below is for a driver that does not.
    if (waiting_) ::SetCommMask(port_.get(), 0);
    const bool readLetGo = Cancel(read_.get(), reading_, readDone_);
    const bool waitLetGo = Cancel(event_.get(), waiting_, eventDone_);
    if (!readLetGo || !waitLetGo) {
      report_.NoteAt(clock_.Now(), std::string("the driver did not end the cancelled ") +
                                       (readLetGo ? "line-change wait" : "read") +
                                       " within 1 s; the port is left to it");
      (void)read_.release();
      (void)event_.release();
      (void)readDone_.release();
      (void)eventDone_.release();
      (void)port_.release();
      read_ = std::make_unique<Operation>();
      event_ = std::make_unique<Operation>();
    }
    reading_ = waiting_ = false;
    port_.reset();
    report_.NoteAt(clock_.Now(), "port closed");
    reopenAt_ = clock_.Now() + kReopenPeriod;
  }

  bool Cancel(Operation* operation, bool underWay, const UniqueHandle& done) {
    if (!underWay) return true;
    ::CancelIoEx(port_.get(), &operation->overlapped);
    if (::WaitForSingleObject(done.get(), kCancelBoundMs) != WAIT_OBJECT_0) return false;
    DWORD ignored = 0;
    ::GetOverlappedResult(port_.get(), &operation->overlapped, &ignored, FALSE);
    return true;
  }

  void Turn() {
    // Only the operations under way: a finished one's event stays set.
    HANDLE events[2];
    DWORD count = 0;
    if (reading_) events[count++] = readDone_.get();
    if (waiting_) events[count++] = eventDone_.get();
    if (count == 0) {
      ::Sleep(kTurnMs);
    } else {
      ::WaitForMultipleObjects(count, events, FALSE, kTurnMs);
    }
    if (reading_ && ::WaitForSingleObject(readDone_.get(), 0) == WAIT_OBJECT_0) {
      FinishRead();
      KeepReading();
    }
    if (port_ && waiting_ && ::WaitForSingleObject(eventDone_.get(), 0) == WAIT_OBJECT_0) FinishEventWait();
    if (!port_) return;
    if (plainReads_) KeepReading();
    if (!port_) return;
    if (!waiting_ && clock_.Now() >= eventRetryAt_) StartEventWait();
    PollLines();
    CheckErrors();
  }

  // As the link reads: whatever is queued, else one byte, so a read ends as soon
  // as anything arrives. A read that completes at once is taken and another
  // started. On plain reads only bytes already waiting are read.
  void KeepReading() {
    for (int started = 0; port_ && !reading_ && started < 64; ++started) {
      DWORD errors = 0;
      COMSTAT stat{};
      DWORD waiting = 0;
      if (::ClearCommError(port_.get(), &errors, &stat)) {
        NoteErrors(errors);
        waiting = stat.cbInQue;
      } else if (plainReads_) {
        // No read waits on the port to fail: the failed look is the lost switch.
        Failed("ClearCommError", ::GetLastError());
        Close();
        return;
      }
      if (plainReads_ && waiting == 0) return;  // looked at again next turn
      read_->overlapped = OVERLAPPED{};
      read_->overlapped.hEvent = readDone_.get();
      ::ResetEvent(readDone_.get());
      DWORD got = 0;
      reading_ = true;
      if (!::ReadFile(port_.get(), read_->buffer, std::clamp<DWORD>(waiting, 1, kReadChunk), &got,
                      &read_->overlapped)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) return;
        reading_ = false;
        EndedEmpty("ReadFile", error);
        continue;
      }
      FinishRead();
    }
  }

  void FinishRead() {
    DWORD got = 0;
    const BOOL done = ::GetOverlappedResult(port_.get(), &read_->overlapped, &got, FALSE);
    const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
    if (!done && error == ERROR_IO_INCOMPLETE) return;
    reading_ = false;
    ::ResetEvent(readDone_.get());  // a turn without a read must not wake on it
    if (!done || got == 0) {
      EndedEmpty("ReadFile (its completion)", error);
    } else {
      fruitlessReads_ = 0;
      report_.ReadCompleted(clock_.Now(), read_->buffer, got);
    }
  }

  // Without time-outs a read ends empty, or fails, when the far end has gone or
  // when its driver completes reads early. As the link decides: with the switch
  // still there (DSR on), reads go on plain, taking only what is waiting, unless
  // they never bring anything; otherwise the switch is lost and the port is
  // opened again.
  void EndedEmpty(const char* call, DWORD error) {
    const double now = clock_.Now();
    if (error == ERROR_SUCCESS) {
      report_.ReadEmpty(now);
    } else {
      Failed(call, error);
    }
    if (!SwitchStillThere() || (plainReads_ && ++fruitlessReads_ >= kFruitlessReadLimit)) {
      Close();
      return;
    }
    if (!std::exchange(plainReads_, true)) {
      report_.NoteAt(clock_.Now(),
                     "the read ended with no bytes while DSR is on: from now on only bytes already waiting "
                     "are read, as Tovira does on such a connection");
    }
  }

  bool SwitchStillThere() {
    DWORD errors = 0;
    COMSTAT stat{};
    DWORD status = 0;
    return ::ClearCommError(port_.get(), &errors, &stat) && ::GetCommModemStatus(port_.get(), &status) &&
           (status & MS_DSR_ON) != 0;
  }

  void StartEventWait() {
    event_->overlapped = OVERLAPPED{};
    event_->overlapped.hEvent = eventDone_.get();
    event_->eventMask = 0;
    ::ResetEvent(eventDone_.get());
    waiting_ = true;
    if (::WaitCommEvent(port_.get(), &event_->eventMask, &event_->overlapped)) {
      waiting_ = false;  // taken at once; the next turn waits again
      ReportEvent();
      return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) return;
    waiting_ = false;
    Failed("WaitCommEvent", error);
    eventRetryAt_ = clock_.Now() + kReopenPeriod;
  }

  void FinishEventWait() {
    DWORD ignored = 0;
    const BOOL done = ::GetOverlappedResult(port_.get(), &event_->overlapped, &ignored, FALSE);
    const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
    if (!done && error == ERROR_IO_INCOMPLETE) return;
    waiting_ = false;
    ::ResetEvent(eventDone_.get());  // a turn without a wait must not wake on it
    if (!done) {
      Failed("WaitCommEvent (its completion)", error);
      eventRetryAt_ = clock_.Now() + kReopenPeriod;
      return;
    }
    ReportEvent();
  }

  void ReportEvent() {
    DWORD status = 0;
    std::optional<LineLevels> lines;
    if (::GetCommModemStatus(port_.get(), &status)) lines = LevelsOf(status);
    report_.LineEventReported(clock_.Now(), EventNames(event_->eventMask), lines);
  }

  void PollLines() {
    DWORD status = 0;
    if (::GetCommModemStatus(port_.get(), &status)) {
      report_.LinesPolled(clock_.Now(), LevelsOf(status));
    } else {
      Failed("GetCommModemStatus", ::GetLastError());
    }
  }

  void CheckErrors() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (::ClearCommError(port_.get(), &errors, &stat)) {
      NoteErrors(errors);
    } else {
      Failed("ClearCommError", ::GetLastError());
    }
  }

  void NoteErrors(DWORD errors) {
    if ((errors & kReceiveErrors) != 0) report_.DriverErrors(clock_.Now(), ErrorNames(errors));
  }

  void Failed(const char* call, DWORD code) {
    report_.CallFailed(clock_.Now(), call, code, Utf8(SystemErrorText(code)));
  }

  static LineLevels LevelsOf(DWORD status) {
    return {(status & MS_DSR_ON) != 0, (status & MS_CTS_ON) != 0, (status & MS_RLSD_ON) != 0};
  }

  const WatchPlan& plan_;
  const RunClock& clock_;
  FieldReport& report_;
  UniqueHandle port_;
  UniqueHandle readDone_;   // manual-reset
  UniqueHandle eventDone_;  // manual-reset
  std::unique_ptr<Operation> read_ = std::make_unique<Operation>();
  std::unique_ptr<Operation> event_ = std::make_unique<Operation>();
  bool reading_ = false;
  bool waiting_ = false;
  bool everOpened_ = false;
  bool plainReads_ = false;  // this connection's driver has ended a read empty
  int fruitlessReads_ = 0;   // plain reads in a row that brought nothing
  double reopenAt_ = 0;
  double eventRetryAt_ = 0;
};

}  // namespace

RunClock::RunClock() {
  ::QueryPerformanceFrequency(&frequency_);
  ::QueryPerformanceCounter(&start_);
}

double RunClock::Now() const {
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency_.QuadPart);
}

bool WatchSwitchPort(const WatchPlan& plan, const RunClock& clock, FieldReport& report,
                     const std::atomic<bool>& stop) {
  PortWatch watch(plan, clock, report);
  return watch.Run(stop);
}

}  // namespace tovira::tools
