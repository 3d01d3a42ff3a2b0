#pragma once
// The main window's own messages, in one place.

#include <windows.h>

namespace tovira {

enum AppMessage : UINT {
  kMsgLoad = WM_APP + 1,  // posted to itself before the loop starts: the window's load handler
};

}  // namespace tovira
