// relay_floor: the least a relay can do on this platform, as the yardstick for
// Tovira's frame path (scripts/bench-frame-path). Mode 2 only:
//   relay_floor [--overlapped] [--line-poll] [--count] [--tail] [--window] COMnn
// Opens the port for plain blocking reads, then for every two bytes read on the
// one thread: decodes them, looks up the navigator window and posts its message,
// and writes bytes 0 and 1 of the block, as Tovira does for a frame. Nothing
// else: no line watch, no connect wait, no re-pairing, no log, no window. Ends
// when a read fails. Not shipped.
// --overlapped reads as Tovira must (a byte at a time, overlapped, so that a lone
// byte is seen and a stop can end the wait); --line-poll adds a thread that
// samples the lines every 10 ms, as Tovira's line watch does under Wine: what
// the platform itself charges for that design. The other options add, one at a
// time, what Tovira does beyond that design, to see what each costs a frame
// when the processors are busy and the target's thread waits for one:
// --count asks the driver's count and error flags between a frame's two reads,
// as Tovira does before it pairs them; --tail adds, after every relay, what
// Tovira's link does before its next wait (a line check and a count); --window
// adds a thread with a hidden window and its message loop, as Tovira's window
// thread.

#include <windows.h>

#include <string>

#include "include/tovira_relay.h"
#include "link/frame_codec.h"
#include "link/serial_port_win32.h"

namespace {

// Set up as Tovira sets its port up.
HANDLE OpenPort(const std::wstring& name, DWORD flags) {
  const std::wstring path = L"\\\\.\\" + name;
  HANDLE port =
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
  if (port == INVALID_HANDLE_VALUE) return nullptr;
  tovira::ConfigureSwitchPort(port);
  ::PurgeComm(port, PURGE_RXCLEAR);
  return port;
}

volatile unsigned char* OpenBlock() {
  HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, TOVIRA_BLOCK_SIZE,
                                        TOVIRA_BLOCK_NAME_QUORANDEL);
  if (mapping == nullptr) return nullptr;
  return static_cast<volatile unsigned char*>(::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
}

// One byte by an overlapped read and a wait for it; false when the port is gone.
bool ReadOverlapped(HANDLE port, HANDLE done, unsigned char& byte) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = done;
  DWORD got = 0;
  if (!::ReadFile(port, &byte, 1, &got, &overlapped)) {
    if (::GetLastError() != ERROR_IO_PENDING) return false;
    ::WaitForSingleObject(done, INFINITE);
  }
  return ::GetOverlappedResult(port, &overlapped, &got, FALSE) && got == 1;
}

// The driver's count of waiting bytes and its error flags, as Tovira asks them
// between a frame's first byte and the read of its partner.
void CountWaiting(HANDLE port) {
  DWORD errors = 0;
  COMSTAT stat{};
  ::ClearCommError(port, &errors, &stat);
}

bool ReadFrame(HANDLE port, HANDLE done, bool count, unsigned char (&bytes)[2]) {
  if (done != nullptr) {
    if (!ReadOverlapped(port, done, bytes[0])) return false;
    if (count) CountWaiting(port);
    return ReadOverlapped(port, done, bytes[1]);
  }
  DWORD got = 0;
  return ::ReadFile(port, bytes, sizeof bytes, &got, nullptr) && got == sizeof bytes;
}

DWORD WINAPI PollLines(void* port) {
  for (DWORD status = 0; ::GetCommModemStatus(port, &status);) ::Sleep(10);
  return 0;
}

// The thread runs until the process ends; its handle is not needed.
void StartThread(LPTHREAD_START_ROUTINE routine, void* argument) {
  if (HANDLE thread = ::CreateThread(nullptr, 0, routine, argument, 0, nullptr)) ::CloseHandle(thread);
}

DWORD WINAPI RunHiddenWindow(void*) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"RelayFloorWindow";
  ::RegisterClassW(&windowClass);
  ::CreateWindowExW(0, windowClass.lpszClassName, L"relay floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, 200,
                    100, nullptr, nullptr, windowClass.hInstance, nullptr);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}

void LinkTail(HANDLE port) {
  DWORD status = 0;
  ::GetCommModemStatus(port, &status);
  CountWaiting(port);
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

// Whether `option` is among the arguments before the port's name.
bool HasOption(int argc, wchar_t** argv, const wchar_t* option) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::wstring(argv[i]) == option) return true;
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool overlapped = HasOption(argc, argv, L"--overlapped");
  const bool linePoll = HasOption(argc, argv, L"--line-poll");
  const bool count = HasOption(argc, argv, L"--count");
  const bool tail = HasOption(argc, argv, L"--tail");
  const bool window = HasOption(argc, argv, L"--window");
  if (argc < 2) return 2;
  volatile unsigned char* block = OpenBlock();
  HANDLE port = OpenPort(argv[argc - 1], overlapped ? FILE_FLAG_OVERLAPPED : 0);
  HANDLE done = overlapped ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
  if (block == nullptr || port == nullptr) return 1;
  if (linePoll) StartThread(PollLines, port);
  if (window) StartThread(RunHiddenWindow, nullptr);
  block[TOVIRA_OFFSET_STATE] = 0;
  block[TOVIRA_OFFSET_CONNECTED] = 1;
  int lastPress = 0;
  unsigned char bytes[2];
  while (ReadFrame(port, done, count, bytes)) {
    Relay(tovira::DecodeFrame(tovira::TargetMode::Quorandel, bytes[0], bytes[1]).state, lastPress, block);
    if (tail) LinkTail(port);
  }
  block[TOVIRA_OFFSET_CONNECTED] = 0;
  return 0;
}
