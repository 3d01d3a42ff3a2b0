#pragma once

#include <windows.h>

#include <string>

namespace tovira {

// The system's own text for an error code, without the trailing line break.
std::wstring SystemErrorText(DWORD code);

}  // namespace tovira
