#pragma once
// The status window's control ids: shared with the tools and tests that look at
// the window from outside.

#include <string_view>

#include "include/tovira_relay.h"

namespace tovira {

// The status window's class, for FindWindow.
inline constexpr std::wstring_view kMainWindowClass = TOVIRA_MAIN_WINDOW_CLASS_W;

enum ControlId : unsigned short {
  kIdRefresh = 1001,  // the button that searches for devices again
  kIdSearchingNote,   // shown in the button's place while a search runs
  kIdDeviceList,      // the paired devices with a serial port
  kIdConnectedLamp,   // the port is open
  kIdBatteryLabel,
  kIdBattery,  // the battery lamp
  kIdTitle,
  kIdModeLabel,                       // the target mode's label
  kIdButtonNumber1,                   // the numbers 1 … 5 over the buttons
  kIdButton1 = kIdButtonNumber1 + 5,  // the five button pictures
  kIdOK = kIdButton1 + 5,
  kIdPortNotSave,  // "do not keep the port number"
  kIdStatusCaption,
  kIdPortCaption,
  kIdPortName,       // the open port's name
  kIdFirstLineLamp,  // OPEN, CD, DSR, DTR, RTS, CTS in this order
  kIdClearLog = kIdFirstLineLamp + 6,
  kIdLogPanel,
  kIdFrame,       // the white frame behind the upper controls
  kIdDecoration,  // the picture at the frame's corner
};

}  // namespace tovira
