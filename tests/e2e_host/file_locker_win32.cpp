// file_locker: holds a file open with no sharing, as a program running in another
// session holds its own file, so that nobody can replace it. Prints "locked" once
// it holds the file, then waits until it is ended.
//   file_locker.exe PATH

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HANDLE file =
      ::CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::printf("locked\n");
  std::fflush(stdout);
  ::Sleep(INFINITE);
  ::CloseHandle(file);
  return 0;
}
