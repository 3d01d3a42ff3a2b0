#pragma once
// The switch's path: what the link reports goes to the target first, on the
// link's own thread, and then to the window, which only takes note. Nothing here
// waits for the window or the shell.

#include "base/link_events.h"
#include "relay/target_relay.h"

namespace tovira {

class SwitchRoute final : public LinkEvents {
 public:
  SwitchRoute(TargetRelay& relay, LinkEvents& window) : relay_(relay), window_(window) {}

  void Balloon(const std::wstring& text) override { window_.Balloon(text); }
  void Log(const std::wstring& text) override { window_.Log(text); }
  void PortOpen(bool open) override {
    relay_.RelayConnection(open);
    window_.PortOpen(open);
  }
  void Frame(int state) override {
    relay_.RelayFrame(state);
    window_.Frame(state);
  }
  void Lines(const LineStates& lines) override { window_.Lines(lines); }

 private:
  TargetRelay& relay_;
  LinkEvents& window_;
};

}  // namespace tovira
