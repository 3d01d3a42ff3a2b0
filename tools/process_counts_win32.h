// What another process holds, counted from outside: kernel handles and GDI objects.
#pragma once

#include <windows.h>

namespace tovira::tools {

struct ProcessCounts {
  unsigned long handles = 0;
  unsigned long gdiObjects = 0;
  unsigned long userObjects = 0;
};

// The process must be open with PROCESS_QUERY_INFORMATION | PROCESS_VM_READ.
ProcessCounts CountProcessObjects(HANDLE process, DWORD processId);

}  // namespace tovira::tools
