#include "base/system_library_win32.h"

namespace tovira {

// LOAD_LIBRARY_SEARCH_SYSTEM32 needs Windows 8, or Windows 7 with its loader
// update; the program imports SetDefaultDllDirectories of the same update, so it
// does not start where the flag is unknown.
UniqueModule LoadSystemLibrary(const wchar_t* fileName) {
  return UniqueModule(::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace tovira
