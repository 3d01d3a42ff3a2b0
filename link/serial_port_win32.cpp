#include "link/serial_port_win32.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

#include "base/scoped_handle_win32.h"
#include "base/system_error_win32.h"
#include "link/line_watch_win32.h"
#include "link/serial_worker.h"

namespace tovira {
namespace {

constexpr std::chrono::milliseconds kReadTimeout{1000};
constexpr DWORD kReadChunk = 256;
// How long a close waits for its driver: the cancelled read, the line watch's
// last sample. A driver that takes longer is left with what it still uses.
constexpr DWORD kCloseBoundMs = 1000;
// Plain reads in a row (about half a second of them) that end with no bytes
// although bytes wait: the handle has stopped working, and the switch is lost.
constexpr int kFruitlessReadLimit = 50;

// The read under way: it must outlive a driver that ignores its cancel.
struct InFlightRead {
  OVERLAPPED overlapped{};
  std::uint8_t buffer[kReadChunk]{};
};

// The port is opened for overlapped I/O, and one read is kept waiting on it; the
// line watch signals every change of the input lines. The worker's wait
// therefore returns the moment a byte is in, a line changes, or the worker is
// stopped, and sleeps while the switch is idle.
// A driver that completes reads with no bytes while the switch is there (some
// virtual serial drivers do) would make every wait look like a lost switch: on
// such a connection, and on one whose line-change wait fails, the port falls
// back to the plain design, reading only what is waiting and pausing 10 ms
// otherwise. The next connection tries again.
class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort(UniqueHandle handle, UniqueHandle readDone, UniqueHandle wake, UniqueHandle linesChanged)
      : handle_(std::move(handle)),
        readDone_(std::move(readDone)),
        wake_(std::move(wake)),
        lineWatch_(std::make_unique<LineWatch>(handle_.get(), std::move(linesChanged))) {}
  ~Win32SerialPort() override { Close(); }
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  bool IsOpen() const override { return handle_.valid(); }

  std::optional<ModemLines> ReadModemLines() override {
    DWORD status = 0;
    if (!handle_ || !::GetCommModemStatus(handle_.get(), &status)) return std::nullopt;
    return ModemLines{(status & MS_RLSD_ON) != 0, (status & MS_DSR_ON) != 0, (status & MS_CTS_ON) != 0};
  }

  std::optional<std::size_t> BytesToRead(std::wstring& failureText) override {
    const std::optional<DWORD> queued = handle_ ? CountQueue() : std::nullopt;
    if (!queued) {
      failureText = SystemErrorText(::GetLastError());
      return std::nullopt;
    }
    if (readError_ != ERROR_SUCCESS) {
      failureText = SystemErrorText(readError_);
      return std::nullopt;
    }
    // A read under way may already be taking the counted bytes: then the count says nothing.
    countedQueue_ = reading_ ? std::nullopt : queued;
    return pending_.size() + *queued;
  }

  bool TakeReceiveError() override { return std::exchange(receiveError_, false); }

  std::size_t WaitForBytes(std::size_t count, std::chrono::milliseconds limit,
                           const StopSignal& stop) override {
    const StopSignal::Waker waker(stop, [this] { ::SetEvent(wake_.get()); });
    Fill(count, limit, true);
    return pending_.size();
  }

  ReadResult ReadByte() override {
    if (pending_.empty()) {
      if (!handle_) return {ReadStatus::Failed, 0, SystemErrorText(ERROR_INVALID_HANDLE)};
      // The byte is known to wait: a read that ends empty (and turns the reads
      // plain) is tried again within the read time-out, so that the half of a
      // frame already taken is never lost for it.
      const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(kReadTimeout.count());
      do {
        Fill(1, kReadTimeout, false);
      } while (pending_.empty() && plainReads_ && readError_ == ERROR_SUCCESS &&
               ::GetTickCount64() < deadline);
      if (readError_ != ERROR_SUCCESS) return {ReadStatus::Failed, 0, SystemErrorText(readError_)};
      if (pending_.empty()) return {ReadStatus::TimedOut, 0, L""};
    }
    const std::uint8_t byte = pending_.front();
    pending_.pop_front();
    return {ReadStatus::Byte, byte, L""};
  }

  PortNotice TakeNotice() override {
    if (std::exchange(plainReadsNoticed_, false)) return PortNotice::PlainReads;
    if (lineWatch_ && lineWatch_->TakeWaitFailed()) return PortNotice::PolledLines;
    return PortNotice::None;
  }

  bool Close() override {
    // A watch stuck in its driver keeps its state; the port's handle stays open for it.
    bool letGo = !lineWatch_ || lineWatch_->Stop(kCloseBoundMs);
    if (handle_ && reading_ && !CancelRead()) letGo = false;
    reading_ = false;
    if (letGo) {
      handle_.reset();
    } else {
      (void)handle_.release();  // a driver still at work on it keeps it
    }
    pending_.clear();
    return letGo;
  }

 private:
  // Reads until `count` bytes are waiting, the limit passes, the read fails or,
  // when `wakeable`, the stop's waker fires.
  void Fill(std::size_t count, std::chrono::milliseconds limit, bool wakeable) {
    // A driver whose line wait failed is not trusted with the reads either;
    // the line watch's notice says it for both.
    if (lineWatch_->WaitFailed()) plainReads_ = true;
    if (plainReads_) {
      FillPlain(count, wakeable ? limit : kReadTimeout, wakeable);
      return;
    }
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limit.count());
    while (handle_ && readError_ == ERROR_SUCCESS && pending_.size() < count) {
      if (!reading_ && !StartRead(count - pending_.size())) return;
      // A byte lost on the way: the worker decides what of the rest to trust.
      if (wakeable && receiveError_) return;
      if (!reading_) continue;  // it completed at once
      const ULONGLONG now = ::GetTickCount64();
      if (now >= deadline) return;
      const HANDLE events[] = {readDone_.get(), lineWatch_->changed(), wake_.get()};
      const DWORD woke =
          ::WaitForMultipleObjects(wakeable ? 3 : 1, events, FALSE, static_cast<DWORD>(deadline - now));
      if (woke != WAIT_OBJECT_0) return;  // a line changed, stopped, or the time passed
      if (!FinishRead()) return;
    }
  }

  // Starts one read: whatever is queued, or else just the bytes still needed.
  // The worker's own count, when no read came after it, says what is queued
  // without asking the driver again on the frame's path.
  bool StartRead(std::size_t needed) {
    DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(needed, kReadChunk));
    const DWORD queued = countedQueue_ ? *countedQueue_ : CountQueue().value_or(0);
    if (queued > wanted) wanted = std::min<DWORD>(queued, kReadChunk);
    DWORD got = 0;
    if (BeginRead(wanted, got)) {
      reading_ = true;
      return FinishRead();
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
      reading_ = true;
      return true;
    }
    EndedEmpty(error);
    return false;
  }

  // The driver's count of queued bytes, its error flags noted; nothing when it
  // cannot say (the system's error is then the last one).
  std::optional<DWORD> CountQueue() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(handle_.get(), &errors, &stat)) return std::nullopt;
    NoteReceiveErrors(errors);
    return stat.cbInQue;
  }

  // One overlapped read into the read's buffer. ReadFile resets its event as
  // the read begins: a reset of our own would cost the frame's path a round
  // trip to Wine's server.
  BOOL BeginRead(DWORD count, DWORD& got) {
    countedQueue_.reset();  // a read takes what was counted
    read_->overlapped = OVERLAPPED{};
    read_->overlapped.hEvent = readDone_.get();
    return ::ReadFile(handle_.get(), read_->buffer, count, &got, &read_->overlapped);
  }

  // Takes a finished read's bytes; false when it brought none or failed.
  bool FinishRead() {
    DWORD got = 0;
    const BOOL done = ::GetOverlappedResult(handle_.get(), &read_->overlapped, &got, FALSE);
    if (!done && ::GetLastError() == ERROR_IO_INCOMPLETE) return true;
    reading_ = false;
    if (!done || got == 0) {
      EndedEmpty(done ? ERROR_HANDLE_EOF : ::GetLastError());
      return false;
    }
    TakeRead(got);
    return true;
  }

  // The read's buffer and OVERLAPPED must outlive it: cancel, then wait, but
  // not for ever. False when the driver did not let the read go in time.
  bool CancelRead() {
    ::CancelIoEx(handle_.get(), &read_->overlapped);
    if (::WaitForSingleObject(readDone_.get(), kCloseBoundMs) == WAIT_OBJECT_0) {
      DWORD got = 0;
      ::GetOverlappedResult(handle_.get(), &read_->overlapped, &got, FALSE);
      return true;
    }
    (void)read_.release();      // the driver may still fill it
    (void)readDone_.release();  // and signal this
    return false;
  }

  // Without time-outs a read ends with no bytes when the far end has gone, or
  // when its driver completes reads early or empty: the switch still there
  // says which. On the plain design the read is simply tried again, unless it
  // never brings anything (a handle that stopped working is a loss).
  void EndedEmpty(DWORD error) {
    if (!SwitchStillThere() || (plainReads_ && ++fruitlessReads_ >= kFruitlessReadLimit)) {
      readError_ = error;
      return;
    }
    if (!std::exchange(plainReads_, true)) plainReadsNoticed_ = true;
  }

  bool SwitchStillThere() {
    DWORD status = 0;
    return CountQueue() && ::GetCommModemStatus(handle_.get(), &status) && (status & MS_DSR_ON) != 0;
  }

  // The plain design: what is waiting is read at once; with too few bytes the
  // wait is one 10 ms pause (or less, when a line changes or the worker stops).
  void FillPlain(std::size_t count, std::chrono::milliseconds limit, bool wakeable) {
    const std::optional<DWORD> queued = CountQueue();
    if (!queued) {
      readError_ = ::GetLastError();
      return;
    }
    if (*queued > 0 || reading_) {
      ReadWaiting(std::min<DWORD>(std::max<DWORD>(*queued, 1), kReadChunk), *queued > 0);
      if (pending_.size() >= count) return;
    }
    // A read left under way by the event-driven wait (its line wait failed)
    // waits for bytes not yet there: their coming ends the pause too.
    HANDLE events[3] = {lineWatch_->changed()};
    DWORD eventCount = 1;
    if (wakeable) events[eventCount++] = wake_.get();
    if (reading_) events[eventCount++] = readDone_.get();
    const auto pause = std::min(limit, link_timing::kLineCheckPeriod);
    const DWORD woke = ::WaitForMultipleObjects(eventCount, events, FALSE, static_cast<DWORD>(pause.count()));
    if (reading_ && woke == WAIT_OBJECT_0 + eventCount - 1) ReadWaiting(0, false);
  }

  // Reads bytes known to be waiting (`queued`); an empty completion brings
  // nothing this time. A read under way is looked at, and waited for only
  // when bytes are queued: without them it may wait for bytes still to come.
  void ReadWaiting(DWORD count, bool queued) {
    if (!reading_) {
      DWORD got = 0;
      if (BeginRead(count, got)) {
        TakeRead(got);
        return;
      }
      if (::GetLastError() != ERROR_IO_PENDING) {
        EndedEmpty(::GetLastError());
        return;
      }
      reading_ = true;
    }
    // The bytes are there: the read ends at once, or is looked at again next time.
    const DWORD bound = queued ? static_cast<DWORD>(kReadTimeout.count()) : 0;
    if (::WaitForSingleObject(readDone_.get(), bound) != WAIT_OBJECT_0) return;
    reading_ = false;
    DWORD got = 0;
    if (!::GetOverlappedResult(handle_.get(), &read_->overlapped, &got, FALSE)) {
      EndedEmpty(::GetLastError());
      return;
    }
    TakeRead(got);
  }

  void TakeRead(DWORD got) {
    if (got == 0) {
      EndedEmpty(ERROR_HANDLE_EOF);
      return;
    }
    fruitlessReads_ = 0;
    pending_.insert(pending_.end(), read_->buffer, read_->buffer + got);
  }

  // Every call that clears the driver's error flags keeps what they said.
  void NoteReceiveErrors(DWORD errors) {
    if ((errors & (CE_OVERRUN | CE_FRAME | CE_RXPARITY | CE_RXOVER)) != 0) receiveError_ = true;
  }

  UniqueHandle handle_;
  UniqueHandle readDone_;                 // manual-reset: set when the read completes
  UniqueHandle wake_;                     // auto-reset: set by the worker's stop
  std::unique_ptr<LineWatch> lineWatch_;  // last of the handles: it starts once they exist
  std::unique_ptr<InFlightRead> read_ = std::make_unique<InFlightRead>();
  bool reading_ = false;
  bool plainReads_ = false;  // this connection's driver completes reads with no bytes
  bool plainReadsNoticed_ = false;
  int fruitlessReads_ = 0;  // plain reads in a row that brought nothing
  bool receiveError_ = false;
  DWORD readError_ = ERROR_SUCCESS;
  // The driver's queue as the worker last counted it with no read under way,
  // until the next read begins: queued bytes stay until read, so at least that
  // many are there.
  std::optional<DWORD> countedQueue_;
  std::deque<std::uint8_t> pending_;
};

}  // namespace

bool ConfigureSwitchPort(HANDLE port) {
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  if (!::GetCommState(port, &dcb)) return false;
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  if (!::SetCommState(port, &dcb)) return false;
  // No time-outs: a read waits until it has the bytes it asked for, and the
  // worker's own waits bound it (the read time-out of 1000 ms among them).
  COMMTIMEOUTS timeouts{};
  return ::SetCommTimeouts(port, &timeouts) != FALSE;
}

bool IsAcceptablePortName(const std::wstring& portName) {
  if (portName.empty() || portName.size() > 200) return false;
  for (wchar_t c : portName) {
    if (c < 0x20 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?') return false;
  }
  return true;
}

UniqueHandle OpenSwitchPort(const std::wstring& portName) {
  const std::wstring path = L"\\\\.\\" + portName;
  UniqueHandle port(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
  if (!port || !ConfigureSwitchPort(port.get())) return UniqueHandle();
  // Pairing starts with the first byte after the open: nothing older counts.
  ::PurgeComm(port.get(), PURGE_RXCLEAR);
  return port;
}

OpenResult Win32SerialPortOpener::Open(const std::wstring& portName) try {
  if (!IsAcceptablePortName(portName)) return {OpenStatus::NameRefused, nullptr};
  UniqueHandle port = OpenSwitchPort(portName);
  if (!port) return {OpenStatus::OpenFailed, nullptr};
  UniqueHandle readDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  UniqueHandle wake(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  UniqueHandle linesChanged(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!readDone || !wake || !linesChanged) return {OpenStatus::OpenFailed, nullptr};
  return {OpenStatus::Opened, std::make_unique<Win32SerialPort>(std::move(port), std::move(readDone),
                                                                std::move(wake), std::move(linesChanged))};
} catch (...) {
  return {OpenStatus::OpenFailed, nullptr};  // the line watch's thread could not start
}

}  // namespace tovira
