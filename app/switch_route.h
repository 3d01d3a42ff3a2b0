#pragma once
// The switch's path: what the link reports goes to the target first, on the
// link's own thread, and then to the window, which only takes note. Nothing here
// waits for the window or the shell.

#include "app/moved_port_watch.h"
#include "link/link_events.h"
#include "relay/target_relay.h"
#include "ui/status_feed.h"

namespace tovira {

class SwitchRoute final : public LinkEvents {
 public:
  SwitchRoute(TargetRelay& relay, StatusFeed& window, MovedPortWatch& movedPort)
      : relay_(relay), window_(window), movedPort_(movedPort) {}

  void Balloon(const std::wstring& text) override { window_.Balloon(text); }
  void WarningBalloon(const std::wstring& text) override { window_.WarningBalloon(text); }
  void Log(const std::wstring& text) override { window_.Log(text); }
  bool Logging() const override { return window_.Logging(); }
  void PortOpen(bool open) override {
    relay_.RelayConnection(open);
    window_.PortOpen(open);
    if (open) movedPort_.Opened();
  }
  void Frame(SwitchState state) override {
    relay_.RelayFrame(state);
    window_.Frame(state);
  }
  void Lines(const LineStates& lines) override {
    window_.Lines({.open = lines.open,
                   .cd = lines.cd,
                   .dsr = lines.dsr,
                   .dtr = lines.dtr,
                   .rts = lines.rts,
                   .cts = lines.cts});
  }
  void OpenFailed() override { movedPort_.OpenFailed(); }

 private:
  TargetRelay& relay_;
  StatusFeed& window_;
  MovedPortWatch& movedPort_;
};

}  // namespace tovira
