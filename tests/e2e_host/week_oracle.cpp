#include "tests/e2e_host/week_oracle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/e2e_host/json_field.h"

namespace tovira::e2e {
namespace {

constexpr int kButtons = 5;
constexpr int kButtonBits = 0x1F;
// A frame not seen this long after its window is lost (the lines' way through the pipe).
constexpr double kReadMargin = 0.05;

// Bit j of the reordered control byte comes from this bit of the control byte,
// written down by bit number, apart from the product's masks.
constexpr int kReorderedFrom[3][8] = {
    {7, 4, 0, 5, 3, 6, 2, 1},
    {3, 0, 7, 5, 1, 6, 4, 2},
    {3, 5, 4, 7, 1, 6, 2, 0},
};

double Number(const std::string& line, const char* key, double otherwise = -1) {
  const auto text = JsonField(line, key);
  return text ? std::strtod(text->c_str(), nullptr) : otherwise;
}

int HexByte(const std::string& hex, std::size_t index) {
  return static_cast<int>(std::strtol(hex.substr(index * 2, 2).c_str(), nullptr, 16));
}

std::optional<int> LowestButton(int state) {
  for (int button = 0; button < kButtons; ++button) {
    if ((state & (1 << button)) != 0) return button;
  }
  return std::nullopt;
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

const char* FindingName(Finding finding) {
  switch (finding) {
    case Finding::Phantom:
      return "PHANTOM";
    case Finding::Stuck:
      return "STUCK";
    case Finding::FrameLost:
      return "FRAME LOST";
    case Finding::Intervention:
      return "INTERVENTION";
  }
  return "?";
}

int DecodeWireFrame(int mode, int control, int stateByte) {
  int reordered = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if ((control & (1 << kReorderedFrom[mode - 1][bit])) != 0) reordered |= 1 << bit;
  }
  const int rotation = (reordered >> 4) % 8;
  return ((stateByte >> rotation) | (stateByte << (8 - rotation))) & 0xFF;
}

WeekOracle::WeekOracle(int mode, WeekBounds bounds, Report report)
    : mode_(mode),
      bounds_(bounds),
      report_(std::move(report)),
      heldSpans_(kButtons),
      letGoAt_(kButtons, 0.0),
      blockSeen_(kButtons) {}

void WeekOracle::Raise(Finding finding, const std::string& what) {
  switch (finding) {
    case Finding::Phantom:
      ++counts_.phantom;
      break;
    case Finding::Stuck:
      ++counts_.stuck;
      break;
    case Finding::FrameLost:
      ++counts_.framesLost;
      break;
    case Finding::Intervention:
      ++counts_.interventions;
      break;
  }
  if (report_) report_(finding, what);
}

void WeekOracle::SwitchLine(const std::string& line) {
  const std::string action = JsonField(line, "action").value_or("");
  if (action != "press" && action != "release" && action != "state" && action != "battery") return;
  const int control = static_cast<int>(Number(line, "control"));
  const int stateByte = static_cast<int>(Number(line, "byte2"));
  SwitchFrame(Number(line, "t"), DecodeWireFrame(mode_, control, stateByte));
}

void WeekOracle::SwitchFrame(double t, int state) {
  if (!linkUp_) return;  // nobody can relay it: nothing is held, nothing is due
  const int buttons = state & kButtonBits;
  for (int b = 0; b < kButtons; ++b) {
    const bool was = (held_ & (1 << b)) != 0;
    const bool now = (buttons & (1 << b)) != 0;
    if (was && !now) {
      heldSpans_[b].back().second = t;
      letGoAt_[b] = t;
    } else if (!was && now) {
      heldSpans_[b].emplace_back(t, 1e300);
    }
  }
  held_ = buttons;
  if (byte0_ != 1 || t < openedAt_ + bounds_.settle) return;  // the connect wait may drop it
  // A block that shows this state already cannot show it arrive: the message must.
  const bool nothingToSee = byte1_ == (state & 0xFF);
  pending_.push_back({t, state & 0xFF, nothingToSee, mode_ != 2});
}

void WeekOracle::Lost(double t) {
  linkUp_ = false;
  for (int b = 0; b < kButtons; ++b) {
    if ((held_ & (1 << b)) == 0) continue;
    heldSpans_[b].back().second = t;
    letGoAt_[b] = t;
  }
  held_ = 0;
  back_.reset();
}

void WeekOracle::Back(double t, double bound) {
  linkUp_ = true;
  back_ = Return{t, bound, false};
  // Tovira opens the port again while DSR is still low and shows it connected until
  // its line check: the switch that comes back then finds it open.
  if (byte0_ == 1) {
    back_->opened = true;
    lastReconnect_ = 0;
  }
}

void WeekOracle::Intervention(const std::string& what) {
  Raise(Finding::Intervention, what);
}

bool WeekOracle::HeldWithin(int button, double from, double to) const {
  for (auto it = heldSpans_[button].rbegin(); it != heldSpans_[button].rend(); ++it) {
    if (it->first <= to && it->second >= from) return true;
    if (it->second < from) return false;
  }
  return false;
}

void WeekOracle::TargetLine(const std::string& line) {
  const std::string event = JsonField(line, "event").value_or("");
  const double t = Number(line, "t");
  if (event == "block") {
    const std::string hex = JsonField(line, "bytes").value_or("");
    if (hex.size() >= 4) Block(t, HexByte(hex, 0), HexByte(hex, 1));
  } else if (event == "press" || event == "release") {
    Message(t, event == "press", static_cast<int>(Number(line, "wParam")));
  }
}

void WeekOracle::SeenDown(Seen& seen, double t, int button, const char* view) {
  if (seen.down) return;
  seen.down = true;
  seen.since = t;
  if (!HeldWithin(button, t - bounds_.latency, t + bounds_.clockSlack)) {
    Raise(Finding::Phantom,
          std::string(view) + ": button " + std::to_string(button + 1) +
              Format(" went down at %.6f; the switch held it at no time in the %.1f s before", t,
                     bounds_.latency));
  }
}

void WeekOracle::SeenUp(Seen& seen, double t, int button, const char* view) {
  if (!seen.down) return;
  CheckStuck(seen, t, button, view);
  seen.down = false;
}

void WeekOracle::CheckStuck(Seen& seen, double t, int button, const char* view) {
  if (!seen.down || (held_ & (1 << button)) != 0) return;
  const double episode = std::max(letGoAt_[button], seen.since);
  if (t - episode <= bounds_.stuck || seen.reportedEpisode == episode) return;
  seen.reportedEpisode = episode;
  Raise(Finding::Stuck,
        std::string(view) + ": button " + std::to_string(button + 1) +
            Format(" still down at %.6f, %.2f s after the switch let it go (or was lost) at %.6f", t,
                   t - letGoAt_[button], letGoAt_[button]));
}

void WeekOracle::Block(double t, int byte0, int byte1) {
  for (int b = 0; b < kButtons; ++b) {
    if ((byte1 & (1 << b)) != 0) {
      SeenDown(blockSeen_[b], t, b, "block");
    } else {
      SeenUp(blockSeen_[b], t, b, "block");
    }
  }
  if (byte0 == 1 && byte0_ != 1) {
    openedAt_ = t;
    if (back_ && !back_->opened && t >= back_->t - bounds_.clockSlack) {
      back_->opened = true;
      lastReconnect_ = t - back_->t;
      if (lastReconnect_ > back_->bound) {
        Raise(Finding::Intervention, Format("the port opened %.2f s after the switch was back (bound %.0f s)",
                                            lastReconnect_, back_->bound));
        back_.reset();
      }
    }
  }
  byte0_ = byte0;
  byte1_ = byte1;
  if (byte0 == 1) Match(t, &Frame::blockSeen, [byte1](const Frame& frame) { return frame.state == byte1; });
}

void WeekOracle::Message(double t, bool press, int button) {
  if (button < 0 || button >= kButtons) {
    Raise(Finding::Phantom, Format("navigator: a message for button index %.0f at %.6f", button, t));
    return;
  }
  if (press) {
    if (navigatorHeld_ && *navigatorHeld_ != button) SeenUp(navigatorSeen_, t, *navigatorHeld_, "navigator");
    navigatorHeld_ = button;
    SeenDown(navigatorSeen_, t, button, "navigator");
  } else if (navigatorHeld_) {
    SeenUp(navigatorSeen_, t, *navigatorHeld_, "navigator");
    navigatorHeld_.reset();
  }
  Match(t, &Frame::messageSeen, [press, button](const Frame& frame) {
    const auto lowest = LowestButton(frame.state);
    return press == lowest.has_value() && (!press || *lowest == button);
  });
}

void WeekOracle::Match(double t, bool Frame::*part, const std::function<bool(const Frame&)>& fits) {
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if ((*it).*part || !fits(*it)) continue;
    if (t < it->t - bounds_.clockSlack || t > it->t + bounds_.latency) continue;
    (*it).*part = true;
    if (it->blockSeen && it->messageSeen) {
      const Frame frame = *it;
      pending_.erase(it);
      Confirm(frame, t);
    }
    return;
  }
}

void WeekOracle::Confirm(const Frame& frame, double t) {
  if (!back_ || frame.t < back_->t) return;
  if (t - back_->t > back_->bound) {
    Raise(Finding::Intervention, Format("the first frame after the return was relayed %.2f s after the "
                                        "switch was back (bound %.0f s)",
                                        t - back_->t, back_->bound));
  }
  back_.reset();
}

void WeekOracle::Tick(double now) {
  while (!pending_.empty() && now > pending_.front().t + bounds_.latency + kReadMargin) {
    const Frame& frame = pending_.front();
    char state[8];
    std::snprintf(state, sizeof state, "0x%02X", frame.state);
    Raise(Finding::FrameLost,
          std::string("the frame of state ") + state +
              Format(" sent at %.6f did not reach the target within %.1f s", frame.t, bounds_.latency) +
              (frame.blockSeen     ? " (the block showed it; no message)"
               : frame.messageSeen ? " (its message came; the block did not show it)"
                                   : ""));
    pending_.pop_front();
  }
  if (back_ && now > back_->t + back_->bound + kReadMargin) {
    Raise(Finding::Intervention,
          Format(back_->opened ? "the port opened, but no frame was relayed within %.0f s of the switch's "
                                 "return at %.6f"
                               : "the port was not open within %.0f s of the switch's return at %.6f",
                 back_->bound, back_->t));
    back_.reset();
  }
  for (int b = 0; b < kButtons; ++b) CheckStuck(blockSeen_[b], now, b, "block");
  if (navigatorHeld_) CheckStuck(navigatorSeen_, now, *navigatorHeld_, "navigator");
}

}  // namespace tovira::e2e
