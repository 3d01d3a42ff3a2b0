#pragma once

#include "base/scoped_handle_win32.h"
#include "link/serial_port.h"

namespace tovira {

// Opens "\\.\COMn" with 9600 8N1, no handshake, DTR and RTS off.
class Win32SerialPortOpener final : public SerialPortOpener {
 public:
  OpenResult Open(const std::wstring& portName) override;
};

// Whether a name can name a port at all (an empty one cannot).
bool IsAcceptablePortName(const std::wstring& portName);

// Sets an open port up as the link uses it: 9600 8N1, no handshake, DTR and RTS
// off, no time-outs. False when the driver refuses.
bool ConfigureSwitchPort(HANDLE port);

// "\\.\<name>" opened for overlapped reads and set up as the link uses it: 9600 8N1,
// no handshake, DTR and RTS off, no time-outs, the receive buffer emptied.
// Invalid when it cannot be opened or set up.
UniqueHandle OpenSwitchPort(const std::wstring& portName);

}  // namespace tovira
