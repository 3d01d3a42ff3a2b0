#pragma once
// The main window's own messages, command and control ids, in one place.

#include <windows.h>

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

enum ControlId : WORD {
  kIdSerch = 1001,                    // btn_Serch
  kIdSarch,                           // txt_Sarch
  kIdBT,                              // cmb_BT
  kIdEnable,                          // pic_Enable
  kIdBatteryLabel,                    // label1
  kIdBattery,                         // pic_Battery
  kIdTitle,                           // label2
  kIdName,                            // lbl_Name
  kIdButtonNumber1,                   // label3 … label7
  kIdButton1 = kIdButtonNumber1 + 5,  // pic_Btn1 … pic_Btn5
  kIdOK = kIdButton1 + 5,             // btn_OK
  kIdPortNotSave,                     // chk_PortNotSave
  kIdStatusCaption,                   // label8
  kIdPortCaption,                     // label9
  kIdCOM,                             // lbl_COM
  kIdOPEN,                            // lbl_OPEN … lbl_CTS
  kIdLogClear = kIdOPEN + 6,          // btn_LogClear
  kIdLog,                             // txt_Log
  kIdFrame,                           // groupBox1
  kIdPicture,                         // pictureBox1
};

}  // namespace tovira
