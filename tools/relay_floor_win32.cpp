// relay_floor: the least a relay can do on this platform, as the yardstick for
// Tovira's frame path (scripts/bench-frame-path). Mode 2 only:
//   relay_floor COMnn
// Opens the port for plain blocking reads, then for every two bytes read on the
// one thread: decodes them, looks up the navigator window and posts its message,
// and writes bytes 0 and 1 of the block, as Tovira does for a frame. Nothing
// else: no line watch, no connect wait, no re-pairing, no log, no window. Ends
// when a read fails. Not shipped.

#include <windows.h>

#include <string>

#include "include/tovira_relay.h"
#include "link/frame_codec.h"

namespace {

HANDLE OpenPort(const std::wstring& name) {
  const std::wstring path = L"\\\\.\\" + name;
  HANDLE port =
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return nullptr;
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  COMMTIMEOUTS timeouts{};  // none: a read returns once it has its bytes
  if (!::GetCommState(port, &dcb)) return port;
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  ::SetCommState(port, &dcb);
  ::SetCommTimeouts(port, &timeouts);
  ::PurgeComm(port, PURGE_RXCLEAR);
  return port;
}

volatile unsigned char* OpenBlock() {
  HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, TOVIRA_BLOCK_SIZE,
                                        TOVIRA_BLOCK_NAME_QUORANDEL);
  if (mapping == nullptr) return nullptr;
  return static_cast<volatile unsigned char*>(::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
}

void Relay(tovira::SwitchState state, int& lastPress, volatile unsigned char* block) {
  if (HWND navigator = ::FindWindowA(TOVIRA_NAVIGATOR_CLASS, nullptr)) {
    if (const auto button = state.lowestPressed()) {
      lastPress = *button;
      ::PostMessageW(navigator, TOVIRA_MSG_PRESS, static_cast<WPARAM>(*button), 0);
    } else {
      ::PostMessageW(navigator, TOVIRA_MSG_RELEASE, static_cast<WPARAM>(lastPress), 0);
    }
  }
  block[TOVIRA_OFFSET_CONNECTED] = 1;
  block[TOVIRA_OFFSET_STATE] = state.byte();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  volatile unsigned char* block = OpenBlock();
  HANDLE port = OpenPort(argv[1]);
  if (block == nullptr || port == nullptr) return 1;
  block[TOVIRA_OFFSET_STATE] = 0;
  block[TOVIRA_OFFSET_CONNECTED] = 1;
  int lastPress = 0;
  unsigned char bytes[2];
  DWORD got = 0;
  while (::ReadFile(port, bytes, sizeof bytes, &got, nullptr)) {
    if (got == 0) break;  // the port is gone
    if (got != sizeof bytes) continue;
    Relay(tovira::DecodeFrame(tovira::TargetMode::Quorandel, bytes[0], bytes[1]).state, lastPress, block);
  }
  block[TOVIRA_OFFSET_CONNECTED] = 0;
  return 0;
}
