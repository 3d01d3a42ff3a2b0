#pragma once
// The main window's control ids: shared with the tools and tests that look at
// the window from outside.

#include <string_view>

namespace tovira {

// The main window's class, for FindWindow.
inline constexpr std::wstring_view kMainWindowClass = L"ToviraMainWindow";

enum ControlId : unsigned short {
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
