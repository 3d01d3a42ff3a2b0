#pragma once

#include <string>
#include <string_view>

namespace tovira {

// This process's name: its image file name without ".exe".
std::wstring CurrentProcessName();

// How many running processes, of any logon, bear `processName` (letter case
// ignored); this process counts itself.
int CountProcessesNamed(std::wstring_view processName);

}  // namespace tovira
