#pragma once
// The main window's own messages, command and control ids, in one place.

#include <windows.h>

#include "ui/control_ids.h"

namespace tovira {

enum AppMessage : UINT {
  kMsgLoad = WM_APP + 1,  // posted to itself before the loop starts: the window's load handler
  kMsgHandOff,            // sent by a worker: lParam points at the call to run on the window thread
  kMsgTrayIcon,           // the tray icon's callback
};

enum CommandId : WORD {
  kCmdVersion = 100,  // mnu_Version
  kCmdHelp,           // mnu_Help
  kCmdTest,           // mnu_Test
  kCmdNotBalloon,     // mnu_NotBalloon
  kCmdExit,           // mnu_Exit
};

}  // namespace tovira
