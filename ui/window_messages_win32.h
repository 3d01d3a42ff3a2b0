#pragma once
// The status window's own messages, command and control ids, in one place.

#include <windows.h>

#include "ui/control_ids.h"

namespace tovira {

enum AppMessage : UINT {
  kMsgLoad = WM_APP + 1,  // posted to itself before the loop starts: the window's load handler
  kMsgHandOff,            // sent by the device search: lParam names the call to run on the window thread
  kMsgTrayIcon,           // the tray icon's callback, posted by the shell
  kMsgStatusChanged,      // posted by the link's thread: the status feed has news
};

// Tovira's own messages carry this key as wParam. Any program on the desktop can
// post or send these numbers; without the key (chosen at random per process)
// the window ignores them.
WPARAM OwnMessageKey();

// The tray menu's items, in the menu's order.
enum CommandId : WORD {
  kCmdVersion = 100,
  kCmdHelp,
  kCmdTest,        // shows the status window
  kCmdNotBalloon,  // balloons off or on
  kCmdExit,
};

}  // namespace tovira
