#pragma once
// The switch's serial port as the worker sees it. The Win32 port and the tests'
// fake port implement it; only the serial worker ever touches one.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/stop_signal.h"

namespace tovira {

// The port's input lines.
struct ModemLines {
  bool cd = false;
  bool dsr = false;
  bool cts = false;
};

enum class ReadStatus { Byte, TimedOut, Failed };

// What a port has to say once about the way it works on this connection.
enum class PortNotice {
  None,
  PlainReads,   // its driver completes reads with no bytes: bytes are looked for every 10 ms
  PolledLines,  // its driver's line-change wait failed: the lines are sampled every 10 ms
};

struct ReadResult {
  ReadStatus status = ReadStatus::TimedOut;
  std::uint8_t byte = 0;
  std::wstring failureText;  // the platform's own text, for Failed
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual bool IsOpen() const = 0;
  // CD, DSR and CTS; nothing when they cannot be read (the line check fails).
  virtual std::optional<ModemLines> ReadModemLines() = 0;
  // Received bytes waiting; nothing (with the platform's text) when the port failed.
  virtual std::optional<std::size_t> BytesToRead(std::wstring& failureText) = 0;
  // The next thing the port has to say about this connection, once each.
  virtual PortNotice TakeNotice() = 0;
  // Whether the driver reported a receive error (overrun, framing, parity, a
  // full receive buffer) since the last call: a byte may have been lost.
  virtual bool TakeReceiveError() = 0;
  // The wait for a frame: returns as soon as `count` bytes are waiting, the
  // input lines change or a receive error is noted, at once when `stop` is
  // raised, and at the latest after `limit`. Returns how many bytes it already holds for ReadByte: that many
  // are known to be there without asking the driver again.
  virtual std::size_t WaitForBytes(std::size_t count, std::chrono::milliseconds limit,
                                   const StopSignal& stop) = 0;
  // One byte; TimedOut after the port's read time-out of 1000 ms.
  virtual ReadResult ReadByte() = 0;
  // Closes the port; it counts as closed afterwards even when closing failed.
  // False when the driver did not let go in time and the port was abandoned
  // (its handle and buffers left to the driver).
  virtual bool Close() = 0;
};

enum class OpenStatus { Opened, NameRefused, OpenFailed };

struct OpenResult {
  OpenStatus status = OpenStatus::OpenFailed;
  std::unique_ptr<SerialPort> port;  // set for Opened
};

class SerialPortOpener {
 public:
  virtual ~SerialPortOpener() = default;
  // Creates, sets up (9600 8N1, no handshake, DTR and RTS off, read time-out
  // 1000 ms) and opens the named port. May block for a long time.
  virtual OpenResult Open(const std::wstring& portName) = 0;
};

}  // namespace tovira
