#pragma once
// What the window learns of the link, handed over without making the link wait.
// The link's thread notes each report here and, for the first one since the
// window last looked, asks for the window to be woken; the window then takes the
// latest of each state (it may skip pictures in between) and every log line and
// balloon, in order. A low battery is said once per episode: from the frame whose
// battery bit turns on until a frame where it is off; the tooltip's line also
// ends with the link.

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/log_format.h"
#include "base/switch_state.h"
#include "ui/balloon_kind.h"

namespace tovira {

// The lamps of the port's lines, in the order the window shows them.
struct LineLamps {
  bool open = false;
  bool cd = false;
  bool dsr = false;
  bool dtr = false;
  bool rts = false;
  bool cts = false;
  friend bool operator==(const LineLamps&, const LineLamps&) = default;
};

struct BalloonNote {
  std::wstring text;
  BalloonKind kind = BalloonKind::kInformation;
  friend bool operator==(const BalloonNote&, const BalloonNote&) = default;
};

struct StatusChanges {
  std::optional<bool> portOpen;       // the latest open or close
  std::optional<SwitchState> state;   // the latest frame's switch state
  bool stateAfterPortChange = false;  // that frame came after that open or close
  std::optional<LineLamps> lines;     // the latest line states
  std::optional<bool> batteryLow;     // a low-battery episode began (true) or ended
  std::wstring log;                   // finished log lines, oldest first
  std::vector<BalloonNote> balloons;
  bool Empty() const {
    return !portOpen && !state && !lines && !batteryLow && log.empty() && balloons.empty();
  }
};

// The window's own input: app/ hands it what the link reports, so that ui/ knows
// nothing of the link.
class StatusFeed final {
 public:
  // Asks for the window to be woken; false when that could not be done (its
  // queue full, say), and the next report asks again.
  using Wake = std::function<bool()>;
  using Clock = std::function<LocalTimeOfDay()>;

  // `wake` must not wait for the window (a posted message, say).
  StatusFeed(Wake wake, Clock clock);

  // Log lines are dropped while logging is off (the log panel hidden and no
  // support log written).
  void SetLogging(bool on);
  bool Logging() const { return logging_.load(std::memory_order_relaxed); }
  // While the window is hidden only what the tray shows (the connection, a low
  // battery, balloons) and log lines wake it; the pictures and lamps wait for
  // the window's next look, which it takes when it is shown (the window thread).
  void SetWindowShown(bool shown);

  // A tray balloon that informs, or one that warns (the switch lost).
  void Balloon(const std::wstring& text);
  void WarningBalloon(const std::wstring& text);
  // A line for the log panel.
  void Log(const std::wstring& text);
  // The port has just been opened (true) or closed (false).
  void PortOpen(bool open);
  // One decoded frame's switch state.
  void Frame(SwitchState state);
  // The line states changed since the last report.
  void Lines(const LineLamps& lines);

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
  std::atomic<bool> logging_ = false;
  bool windowShown_ = false;
  bool wakeAsked_ = false;
  bool batteryLow_ =
      false;  // from the frame whose battery bit turned on until one where it is off, or a loss
  bool lowBatteryBallooned_ = false;  // the same, but kept across losses
  StatusChanges changes_;
};

}  // namespace tovira
