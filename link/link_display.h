#pragma once
// What the serial worker shows, as it sees the window side. Every Inv operation
// runs its display operation on the window thread and returns once it has run;
// failures (the window not there yet, or gone) are dropped inside. ShowBalloon is
// safe from any thread.

#include <string>

namespace tovira {

// The six line states in the order the lamps show them.
struct LineStates {
  bool open = false;
  bool cd = false;
  bool dsr = false;
  bool dtr = false;
  bool rts = false;
  bool cts = false;
  friend bool operator==(const LineStates&, const LineStates&) = default;
};

class LinkDisplay {
 public:
  virtual ~LinkDisplay() = default;
  virtual void ShowBalloon(const std::wstring& text) = 0;
  virtual void ShowMsgInv(const std::wstring& text) = 0;
  virtual void ShowEnableInv(bool enabled) = 0;
  virtual void ShowSwitchInv(int state) = 0;
  virtual void ShowCOMInv(const LineStates& lines) = 0;
};

}  // namespace tovira
