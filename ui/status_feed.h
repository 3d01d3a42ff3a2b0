#pragma once
// What the window learns of the link, handed over without making the link wait.
// The link's thread notes each report here and, for the first one since the
// window last looked, asks for the window to be woken; the window then takes the
// latest of each state (it may skip pictures in between) and every log line and
// balloon, in order. A low battery is said once per episode: from the frame whose
// battery bit turns on until a frame where it is off; the tooltip's line also
// ends with the link.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/link_events.h"
#include "base/log_format.h"
#include "base/switch_state.h"
#include "ui/balloon_kind.h"

namespace tovira {

struct BalloonNote {
  std::wstring text;
  BalloonKind kind = BalloonKind::kInformation;
  friend bool operator==(const BalloonNote&, const BalloonNote&) = default;
};

struct StatusChanges {
  std::optional<bool> portOpen;       // the latest open or close
  std::optional<SwitchState> state;   // the latest frame's switch state
  bool stateAfterPortChange = false;  // that frame came after that open or close
  std::optional<LineStates> lines;    // the latest line states
  std::optional<bool> batteryLow;     // a low-battery episode began (true) or ended
  std::wstring log;                   // finished log lines, oldest first
  std::vector<BalloonNote> balloons;
  bool Empty() const {
    return !portOpen && !state && !lines && !batteryLow && log.empty() && balloons.empty();
  }
};

class StatusFeed final : public LinkEvents {
 public:
  // Asks for the window to be woken; false when that could not be done (its
  // queue full, say), and the next report asks again.
  using Wake = std::function<bool()>;
  using Clock = std::function<LocalTimeOfDay()>;

  // `wake` must not wait for the window (a posted message, say).
  StatusFeed(Wake wake, Clock clock);

  // Log lines are dropped while logging is off (the log panel is hidden).
  void SetLogging(bool on);

  void Balloon(const std::wstring& text) override;
  void WarningBalloon(const std::wstring& text) override;
  void Log(const std::wstring& text) override;
  void PortOpen(bool open) override;
  void Frame(SwitchState state) override;
  void Lines(const LineStates& lines) override;

  // What changed since the last take (the window's thread).
  StatusChanges Take();

  // Balloons waiting beyond this many are dropped, oldest first: a window thread
  // that does not run must not let them pile up without end.
  static constexpr std::size_t kBalloonLimit = 16;

 private:
  template <typename Change>
  void Note(const Change& change);
  void AddBalloon(const std::wstring& text, BalloonKind kind);  // under the lock

  Wake wake_;
  Clock clock_;
  std::mutex mutex_;
  bool logging_ = false;
  bool wakeAsked_ = false;
  bool batteryLow_ =
      false;  // from the frame whose battery bit turned on until one where it is off, or a loss
  bool lowBatteryBallooned_ = false;  // the same, but kept across losses
  StatusChanges changes_;
};

}  // namespace tovira
