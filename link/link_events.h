#pragma once
// What the serial worker reports, on its own thread and in the order things
// happen. Whoever listens must not make the worker wait: the target is written
// from here, and the window and the shell only take note (app/ routes it).

#include <string>

#include "base/switch_state.h"

namespace tovira {

// The port's six line states: open, then CD, DSR, DTR, RTS, CTS.
struct LineStates {
  bool open = false;
  bool cd = false;
  bool dsr = false;
  bool dtr = false;
  bool rts = false;
  bool cts = false;
  friend bool operator==(const LineStates&, const LineStates&) = default;
};

class LinkEvents {
 public:
  virtual ~LinkEvents() = default;
  // A tray balloon for the user.
  virtual void Balloon(const std::wstring& text) = 0;
  // A balloon that warns (the switch lost); plain where the listener tells no difference.
  virtual void WarningBalloon(const std::wstring& text) { Balloon(text); }
  // A line for the log panel.
  virtual void Log(const std::wstring& text) = 0;
  // Whether anyone keeps log lines now (the panel shown or the support log
  // written): a line for every frame is not worth making for nobody.
  virtual bool Logging() const { return true; }
  // The port has just been opened (true) or closed (false).
  virtual void PortOpen(bool open) = 0;
  // One decoded frame's switch state.
  virtual void Frame(SwitchState state) = 0;
  // The line states changed since the last report.
  virtual void Lines(const LineStates& lines) = 0;
  // An attempt to open the port failed (the switch off, or the port gone).
  virtual void OpenFailed() {}
};

}  // namespace tovira
