#pragma once

#include "link/serial_port.h"

namespace tovira {

// Opens "\\.\COMn" with 9600 8N1, no handshake, DTR and RTS off.
class Win32SerialPortOpener final : public SerialPortOpener {
 public:
  OpenResult Open(const std::wstring& portName) override;
};

// Whether a name can name a port at all (an empty one cannot).
bool IsAcceptablePortName(const std::wstring& portName);

}  // namespace tovira
