#pragma once
// Libraries outside the KnownDLLs, loaded when they are needed and from the system
// folder only. Imported statically, such a library would be looked up in the
// program's own folder first, where anyone who can write there could plant one.

#include <windows.h>

#include "base/scoped_handle_win32.h"

namespace tovira {

// The library `fileName` (e.g. L"version.dll") from System32, or an invalid owner
// when it is not there.
UniqueModule LoadSystemLibrary(const wchar_t* fileName);

// The function `name` of `module` as a `Function` pointer, or nullptr when the
// module is not loaded or does not export it.
template <typename Function>
Function LibraryFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // GetProcAddress answers with a generic function pointer; the caller names the real type.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace tovira
