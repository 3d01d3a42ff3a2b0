// target_monitor: plays the target side of Tovira's relay and reports what arrives.
//   target_monitor --mode 1|2|3 [--create] [--window|--no-window|--hung-window] [--spin]
// Prints one JSON line per event on standard output, stamped with the system's
// precise time (seconds since 1970, as the virtual switch stamps its lines):
//   ready      the block name, whether this program created it
//   block      bytes 0-7 of the block, at start and at every change
//   press / release   a message 0x92A / 0x929 at the "Quorandel" window, wParam, lParam
// Ends when standard input closes or reads "quit". Copies named VELMORAX.EXE and
// QUORINSVC.EXE play the targets' interface processes.

#include <windows.h>

#include "tovira_relay.h"  // the integrator's header: what Tovira writes and posts

#include <array>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr UINT kPressMessage = TOVIRA_MSG_PRESS;
constexpr UINT kReleaseMessage = TOVIRA_MSG_RELEASE;
constexpr char kWindowClass[] = TOVIRA_NAVIGATOR_CLASS;

std::mutex gOutput;

double NowSeconds() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;
}

void PrintLine(const std::string& fields) {
  std::lock_guard<std::mutex> lock(gOutput);
  std::printf("{\"t\":%.6f,%s}\n", NowSeconds(), fields.c_str());
  std::fflush(stdout);
}

const char* BlockName(int mode) {
  return mode == 2 ? TOVIRA_BLOCK_NAME_QUORANDEL : TOVIRA_BLOCK_NAME_VELMORA;
}

std::string Hex(const volatile unsigned char* bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < TOVIRA_BLOCK_SIZE; ++i) {
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0F];
  }
  return text;
}

void WatchBlock(int mode, bool create, bool spin) {
  const char* name = BlockName(mode);
  HANDLE mapping = nullptr;
  bool created = false;
  if (create) {
    mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, TOVIRA_BLOCK_SIZE, name);
    created = mapping != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
  }
  while (mapping == nullptr) {  // a target that starts before Tovira waits for the block
    mapping = ::OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (mapping == nullptr) ::Sleep(10);
  }
  auto* view =
      static_cast<volatile unsigned char*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, TOVIRA_BLOCK_SIZE));
  if (view == nullptr) {
    PrintLine("\"event\":\"error\",\"what\":\"MapViewOfFile\",\"code\":" + std::to_string(::GetLastError()));
    return;
  }
  PrintLine(std::string("\"event\":\"ready\",\"block\":\"") + name +
            "\",\"created\":" + (created ? "true" : "false"));
  std::array<unsigned char, 8> last{};
  for (int i = 0; i < TOVIRA_BLOCK_SIZE; ++i) last[i] = view[i];
  PrintLine("\"event\":\"block\",\"bytes\":\"" + Hex(view) + "\"");
  for (;;) {
    bool changed = false;
    for (int i = 0; i < TOVIRA_BLOCK_SIZE; ++i) changed |= view[i] != last[i];
    if (changed) {
      for (int i = 0; i < TOVIRA_BLOCK_SIZE; ++i) last[i] = view[i];
      PrintLine("\"event\":\"block\",\"bytes\":\"" + Hex(last.data()) + "\"");
    } else if (spin) {
      ::SwitchToThread();
    } else {
      ::Sleep(1);
    }
  }
}

LRESULT CALLBACK NavigatorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPressMessage || message == kReleaseMessage) {
    PrintLine(std::string("\"event\":\"") + (message == kPressMessage ? "press" : "release") +
              "\",\"wParam\":" + std::to_string(wParam) + ",\"lParam\":" + std::to_string(lParam));
    return 0;
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

// `hung`: the window is made but its messages are never taken, as a navigator
// that hangs; posted messages pile up in its queue.
void RunNavigatorWindow(bool hung) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = NavigatorProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassA(&windowClass);
  HWND window = ::CreateWindowA(kWindowClass, "Quorandel navigator (target monitor)", WS_OVERLAPPEDWINDOW, 0,
                                0, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) {
    PrintLine("\"event\":\"error\",\"what\":\"CreateWindow\",\"code\":" + std::to_string(::GetLastError()));
    return;
  }
  PrintLine(std::string("\"event\":\"window\",\"class\":\"Quorandel\",\"hung\":") +
            (hung ? "true" : "false"));
  if (hung) return;
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
}

void EndOnInputClose() {
  char line[256];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    if (std::strncmp(line, "quit", 4) == 0) break;
  }
  std::fflush(stdout);
  ::ExitProcess(0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int mode = 2;
  bool create = false;
  int window = -1;  // -1: only in mode 2
  bool spin = false;
  bool hung = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--mode" && i + 1 < argc) {
      mode = _wtoi(argv[++i]);
    } else if (arg == L"--create") {
      create = true;
    } else if (arg == L"--window") {
      window = 1;
    } else if (arg == L"--no-window") {
      window = 0;
    } else if (arg == L"--spin") {
      spin = true;
    } else if (arg == L"--hung-window") {
      window = 1;
      hung = true;
    } else {
      std::fputs(
          "usage: target_monitor --mode 1|2|3 [--create] [--window|--no-window|--hung-window] [--spin]\n",
          arg == L"--help" ? stdout : stderr);
      return arg == L"--help" ? 0 : 2;
    }
  }
  if (mode < 1 || mode > 3) return 2;
  std::thread(EndOnInputClose).detach();
  std::thread(WatchBlock, mode, create, spin).detach();
  if (window == 1 || (window == -1 && mode == 2)) {
    RunNavigatorWindow(hung);
  }
  for (;;) ::Sleep(INFINITE);
}
