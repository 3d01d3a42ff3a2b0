// block_writer: a test writer for the target monitor, acting as Tovira would.
// Arguments run in order:
//   --mode N          block of target mode N (opened, or created when missing)
//   --write HEX16     bytes 0-7, written one by one
//   --post press|release WPARAM   a message to the "Quorandel" window
//   --sleep MS        wait
//   --squat N         hold an event under the block name of mode N, so that the
//                     block cannot be created
// The block stays mapped until the program ends.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HANDLE gMapping = nullptr;
volatile unsigned char* gView = nullptr;

bool OpenBlock(int mode) {
  const char* name = mode == 2 ? "QUORINDEX-SHARED-MEMORY" : "VELMORAX-SHARED-MEMORY";
  gMapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, name);
  if (gMapping == nullptr) return false;
  gView = static_cast<volatile unsigned char*>(::MapViewOfFile(gMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  return gView != nullptr;
}

bool WriteHex(const std::wstring& hex) {
  if (gView == nullptr || hex.size() != 16) return false;
  for (int i = 0; i < 8; ++i) {
    gView[i] = static_cast<unsigned char>(
        std::wcstoul(hex.substr(static_cast<std::size_t>(i) * 2, 2).c_str(), nullptr, 16));
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--mode" && hasValue) {
      if (!OpenBlock(_wtoi(argv[++i]))) return 1;
    } else if (arg == L"--write" && hasValue) {
      if (!WriteHex(argv[++i])) return 1;
    } else if (arg == L"--post" && i + 2 < argc) {
      const UINT message = std::wstring(argv[++i]) == L"press" ? 0x92A : 0x929;
      const WPARAM wParam = static_cast<WPARAM>(_wtoi(argv[++i]));
      HWND navigator = ::FindWindowA("Quorandel", nullptr);
      if (navigator == nullptr || !::PostMessageW(navigator, message, wParam, 0)) return 1;
    } else if (arg == L"--squat" && hasValue) {
      const char* name = _wtoi(argv[++i]) == 2 ? "QUORINDEX-SHARED-MEMORY" : "VELMORAX-SHARED-MEMORY";
      if (::CreateEventA(nullptr, TRUE, FALSE, name) == nullptr) return 1;
      std::puts("squatting");
      std::fflush(stdout);
    } else if (arg == L"--sleep" && hasValue) {
      ::Sleep(static_cast<DWORD>(_wtoi(argv[++i])));
    } else {
      std::fputs("usage: block_writer --mode N [--write HEX16] [--post press|release W] [--sleep MS] ...\n",
                 stderr);
      return 2;
    }
  }
  return 0;
}
