#include "tools/field_port_watch_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>

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
    const HANDLE events[] = {readDone_.get(), eventDone_.get()};
    ::WaitForMultipleObjects(2, events, FALSE, kTurnMs);
    if (reading_ && ::WaitForSingleObject(readDone_.get(), 0) == WAIT_OBJECT_0) {
      FinishRead();
      KeepReading();
    }
    if (port_ && waiting_ && ::WaitForSingleObject(eventDone_.get(), 0) == WAIT_OBJECT_0) FinishEventWait();
    if (!port_) return;
    if (!waiting_ && clock_.Now() >= eventRetryAt_) StartEventWait();
    PollLines();
    CheckErrors();
  }

  // As the link reads: whatever is queued, else one byte, so a read ends as soon
  // as anything arrives. A read that completes at once is taken and another started.
  void KeepReading() {
    for (int started = 0; port_ && !reading_ && started < 64; ++started) {
      DWORD errors = 0;
      COMSTAT stat{};
      DWORD wanted = 1;
      if (::ClearCommError(port_.get(), &errors, &stat)) {
        NoteErrors(errors);
        wanted = std::clamp<DWORD>(stat.cbInQue, 1, kReadChunk);
      }
      read_->overlapped = OVERLAPPED{};
      read_->overlapped.hEvent = readDone_.get();
      ::ResetEvent(readDone_.get());
      DWORD got = 0;
      reading_ = true;
      if (!::ReadFile(port_.get(), read_->buffer, wanted, &got, &read_->overlapped)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) return;
        reading_ = false;
        Failed("ReadFile", error);
        Close();
        return;
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
    const double now = clock_.Now();
    if (!done) {
      Failed("ReadFile (its completion)", error);
      Close();
    } else if (got == 0) {
      // Without time-outs only a far end that has gone ends a read empty: the link
      // closes and opens again, and so does this watch.
      report_.ReadEmpty(now);
      Close();
    } else {
      report_.ReadCompleted(now, read_->buffer, got);
    }
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
