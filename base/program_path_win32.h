#pragma once
// Where the running program lives.

#include <string>

namespace tovira {

// The full path of this process's program file, whatever its length; empty when
// the system cannot say.
std::wstring ProgramPath();

}  // namespace tovira
