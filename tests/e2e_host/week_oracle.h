#pragma once
// The week's oracle: what the target must see, built only from what the switch
// sent and held against what the target saw, judged as the lines come. It shares
// no code with Tovira: the switch's wire bytes are decoded here with bit-order
// tables of its own, and the target's view is built from the target monitor's
// JSON lines:
//   the block   button b is seen down while bit b of byte 1 is set, whatever byte 0 says;
//   mode 2      a press message for button i makes i the held button, a release clears it.
// Its four checks:
//   phantom       the target sees a button go down that the switch held at no time
//                 within the latency window before;
//   stuck         the target still sees a button down more than the stuck bound after
//                 the switch let it go or was lost (and after the target first saw it);
//   frame lost    a frame sent while the switch is connected, the port open for the
//                 settle time or more, does not reach the target within the latency
//                 window: byte 0 = 1 with its state in byte 1, and in mode 2 its message;
//   intervention  the switch is back and Tovira has not opened the port and relayed the
//                 next frame within the bound, or the driver saw Tovira end by itself.
// Times are seconds since 1970 (CLOCK_REALTIME on the switch's side, Wine's precise
// system time on the target's; they agree within 0.2 ms).

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tovira::e2e {

struct WeekBounds {
  double latency = 1.5;  // a switch event to the target's view of it
  double stuck = 2.0;    // a let-go button still seen down
  double settle = 1.5;   // after the port opened, before every frame must arrive
  // The switch stamps its line once its write has returned: on a busy host the
  // target can see a frame a scheduling delay before that stamp (1.1 ms seen).
  double clockSlack = 0.05;
};

enum class Finding { Phantom, Stuck, FrameLost, Intervention };
const char* FindingName(Finding finding);

struct WeekCounts {
  int phantom = 0;
  int stuck = 0;
  int framesLost = 0;
  int interventions = 0;
  int Total() const { return phantom + stuck + framesLost + interventions; }
};

// The switch state value of a frame on the wire (control byte, state byte) in
// target mode 1, 2 or 3, by the oracle's own bit-order tables.
int DecodeWireFrame(int mode, int control, int stateByte);

class WeekOracle {
 public:
  using Report = std::function<void(Finding, const std::string& what)>;
  WeekOracle(int mode, WeekBounds bounds, Report report);

  // A line of the virtual switch: its frames count (press, release, state, battery);
  // the other actions are the driver's to tell (Lost, Back).
  void SwitchLine(const std::string& line);
  // The switch is lost to Tovira at `t`: DSR off, the port gone, Tovira ended.
  void Lost(double t);
  // The switch is back at `t` (its port there with DSR on, Tovira running): the port
  // must open (byte 0 rising to 1) and the next frame be relayed within `bound`
  // seconds of `t`.
  void Back(double t, double bound);
  // A line of the target monitor.
  void TargetLine(const std::string& line);
  // What the driver saw for itself (Tovira ended by itself, say).
  void Intervention(const std::string& what);
  // The time is `now`: whatever was due by then is judged.
  void Tick(double now);

  std::size_t pendingFrames() const { return pending_.size(); }
  // Since the last Back: the port has opened (or the return was judged).
  bool returned() const { return !back_ || back_->opened; }
  bool portOpen() const { return byte0_ == 1; }
  double openedAt() const { return openedAt_; }
  int blockState() const { return byte1_; }
  // Seconds from the last Back to the port open (negative before the first).
  double lastReconnect() const { return lastReconnect_; }
  const WeekCounts& counts() const { return counts_; }

 private:
  struct Frame {
    double t;
    int state;
    bool blockSeen;
    bool messageSeen;
  };
  struct Return {
    double t;
    double bound;
    bool opened;
  };
  // One view's held button: down since when, and the episode already reported stuck.
  struct Seen {
    bool down = false;
    double since = 0;
    double reportedEpisode = -1;
  };

  void SwitchFrame(double t, int state);
  void Block(double t, int byte0, int byte1);
  void Message(double t, bool press, int button);
  // The oldest pending frame that `fits`, with `t` in its window, has `part` seen;
  // seen in both parts it is confirmed.
  void Match(double t, bool Frame::*part, const std::function<bool(const Frame&)>& fits);
  void Confirm(const Frame& frame, double t);
  void SeenDown(Seen& seen, double t, int button, const char* view);
  void SeenUp(Seen& seen, double t, int button, const char* view);
  void CheckStuck(Seen& seen, double t, int button, const char* view);
  bool HeldWithin(int button, double from, double to) const;
  void Raise(Finding finding, const std::string& what);

  int mode_;
  WeekBounds bounds_;
  Report report_;
  WeekCounts counts_;
  // The switch: the buttons it holds while the link is up, and when.
  bool linkUp_ = false;
  int held_ = 0;
  std::vector<std::vector<std::pair<double, double>>> heldSpans_;
  std::vector<double> letGoAt_;
  // The target's view.
  int byte0_ = 0;
  int byte1_ = 0;
  double openedAt_ = 0;
  std::vector<Seen> blockSeen_;
  std::optional<int> navigatorHeld_;
  Seen navigatorSeen_;
  // What is due.
  std::deque<Frame> pending_;
  std::optional<Return> back_;
  double lastReconnect_ = -1;
};

}  // namespace tovira::e2e
