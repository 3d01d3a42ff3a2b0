#include "link/serial_port_win32.h"

#include <windows.h>

#include <deque>

#include "app/scoped_handle_win32.h"
#include "app/system_error_win32.h"

namespace tovira {
namespace {

constexpr DWORD kReadTimeoutMs = 1000;

class Win32SerialPort final : public SerialPort {
 public:
  explicit Win32SerialPort(UniqueHandle handle) : handle_(std::move(handle)) {}

  bool IsOpen() const override { return handle_.valid(); }

  std::optional<ModemLines> ReadModemLines() override {
    DWORD status = 0;
    if (!handle_ || !::GetCommModemStatus(handle_.get(), &status)) return std::nullopt;
    return ModemLines{(status & MS_RLSD_ON) != 0, (status & MS_DSR_ON) != 0, (status & MS_CTS_ON) != 0};
  }

  std::optional<std::size_t> BytesToRead(std::wstring& failureText) override {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!handle_ || !::ClearCommError(handle_.get(), &errors, &stat)) {
      failureText = SystemErrorText(::GetLastError());
      return std::nullopt;
    }
    return pending_.size() + stat.cbInQue;
  }

  // Reads what arrives into `pending_` until `count` bytes are there or the
  // limit passes: a read with these time-outs returns as soon as a byte is in.
  void WaitForBytes(std::size_t count, std::chrono::milliseconds limit) override {
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limit.count());
    while (handle_ && pending_.size() < count) {
      const ULONGLONG now = ::GetTickCount64();
      if (now >= deadline) return;
      // One time-out for the whole pause: changing it on every read costs the
      // early return under Wine.
      if (!SetReadTimeout(static_cast<DWORD>(limit.count()))) return;
      std::uint8_t buffer[2];
      const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - pending_.size(), sizeof buffer));
      DWORD got = 0;
      // A failure shows up again at the next byte count, where it is handled.
      if (!::ReadFile(handle_.get(), buffer, wanted, &got, nullptr)) return;
      pending_.insert(pending_.end(), buffer, buffer + got);
      // A read that comes back empty before its time-out (Wine's serial reads
      // sometimes do) is tried again after a millisecond: the pause then still
      // ends when the frame comes, and the worker never spins.
      if (got == 0) ::Sleep(1);
    }
  }

  ReadResult ReadByte() override {
    if (!pending_.empty()) {
      const std::uint8_t byte = pending_.front();
      pending_.pop_front();
      return {ReadStatus::Byte, byte, L""};
    }
    if (!handle_) return {ReadStatus::Failed, 0, SystemErrorText(ERROR_INVALID_HANDLE)};
    if (!SetReadTimeout(kReadTimeoutMs)) return {ReadStatus::Failed, 0, SystemErrorText(::GetLastError())};
    std::uint8_t byte = 0;
    DWORD got = 0;
    if (!::ReadFile(handle_.get(), &byte, 1, &got, nullptr)) {
      return {ReadStatus::Failed, 0, SystemErrorText(::GetLastError())};
    }
    if (got == 0) return {ReadStatus::TimedOut, 0, L""};
    return {ReadStatus::Byte, byte, L""};
  }

  void Close() override {
    handle_.reset();
    pending_.clear();
  }

 private:
  bool SetReadTimeout(DWORD constantMs) {
    if (constantMs == currentTimeoutMs_) return true;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = constantMs;
    if (!::SetCommTimeouts(handle_.get(), &timeouts)) return false;
    currentTimeoutMs_ = constantMs;
    return true;
  }

  UniqueHandle handle_;
  std::deque<std::uint8_t> pending_;
  DWORD currentTimeoutMs_ = 0;
};

bool ConfigurePort(HANDLE port) {
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
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
  return ::SetCommTimeouts(port, &timeouts) != FALSE;
}

}  // namespace

bool IsAcceptablePortName(const std::wstring& portName) {
  if (portName.empty() || portName.size() > 200) return false;
  for (wchar_t c : portName) {
    if (c < 0x20 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?') return false;
  }
  return true;
}

OpenResult Win32SerialPortOpener::Open(const std::wstring& portName) {
  if (!IsAcceptablePortName(portName)) return {OpenStatus::NameRefused, nullptr};
  const std::wstring path = L"\\\\.\\" + portName;
  UniqueHandle port(
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!port || !ConfigurePort(port.get())) return {OpenStatus::OpenFailed, nullptr};
  // Pairing starts with the first byte after the open: nothing older counts.
  ::PurgeComm(port.get(), PURGE_RXCLEAR);
  return {OpenStatus::Opened, std::make_unique<Win32SerialPort>(std::move(port))};
}

}  // namespace tovira
