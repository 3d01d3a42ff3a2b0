#include "base/program_path_win32.h"

#include <windows.h>

namespace tovira {

std::wstring ProgramPath() {
  // A path longer than MAX_PATH is possible: grow until it fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace tovira
