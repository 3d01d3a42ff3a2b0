#include "tools/field_report.h"

#include <chrono>
#include <cstdio>
#include <string_view>

#include "base/target_mode.h"
#include "base/texts_ja.h"
#include "base/utf8.h"
#include "link/frame_codec.h"
#include "link/serial_worker.h"

namespace tovira::tools {
namespace {

constexpr double kLoneByteLimit = std::chrono::duration<double>(link_timing::kLoneByteBound).count();

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(digits, sizeof digits, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += digits;
  }
  return text;
}

std::string LevelsText(const LineLevels& lines) {
  return std::string("DSR ") + (lines.dsr ? "on" : "off") + ", CTS " + (lines.cts ? "on" : "off") +
         ", RLSD " + (lines.rlsd ? "on" : "off");
}

std::string ModeName(TargetMode mode) {
  return "mode " + std::to_string(ModeNumber(mode)) + " " +
         Utf8(texts::kTargetDisplayNames[ModeNumber(mode) - 1]);
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

}  // namespace

std::string ButtonStateName(SwitchState state) {
  const SwitchState::Buttons down = state.buttons();
  std::string buttons;
  for (std::size_t index = 0; index < down.size(); ++index) {
    if (down.test(index)) buttons += (buttons.empty() ? "" : "+") + std::to_string(index + 1);
  }
  std::string name = down.none() ? "no button" : (down.count() == 1 ? "button " : "buttons ") + buttons;
  // The spare bits are no part of the state's vocabulary: the raw byte tells them.
  for (int bit = 5; bit < 7; ++bit) {
    if (((state.byte() >> bit) & 1) != 0) name += ", bit " + std::to_string(bit);
  }
  if (state.batteryLow()) name += ", battery low";
  return name;
}

void FieldReport::Note(std::string_view text) {
  out_ << text << '\n';
  out_.flush();
}

void FieldReport::NoteAt(double seconds, std::string_view text) {
  Line(seconds, text);
}

void FieldReport::Line(double seconds, std::string_view text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%11.6f  ", seconds);
  out_ << stamp << text << '\n';
  out_.flush();  // the person may close the window at any moment
}

void FieldReport::ReadCompleted(double seconds, const std::uint8_t* bytes, std::size_t count) {
  ++readCompletions_;
  lastReadEmpty_ = false;
  Line(seconds, "read " + std::to_string(count) + (count == 1 ? " byte: " : " bytes: ") + Hex(bytes, count));
  for (std::size_t i = 0; i < count; ++i) {
    if (!loneByte_) {
      loneByte_ = bytes[i];
      loneSince_ = seconds;
      continue;
    }
    Frame(seconds, *loneByte_, bytes[i]);
    loneByte_.reset();
  }
}

void FieldReport::Frame(double seconds, std::uint8_t control, std::uint8_t stateByte) {
  ++frames_;
  lastFrame_ = seconds;
  std::string text = "frame " + Hex(&control, 1) + " " + Hex(&stateByte, 1) + ": ";
  for (TargetMode mode : kTargetModes) {
    const DecodedFrame frame = DecodeFrame(mode, control, stateByte);
    ++statesPerMode_[ModeNumber(mode) - 1][frame.state.byte()];
    text += (mode == kTargetModes.front() ? "" : " | ") + ModeName(mode) + ": " +
            ButtonStateName(frame.state) + " (tag " + std::to_string(frame.tag) + ")";
  }
  Line(seconds, text);
}

void FieldReport::ReadEmpty(double seconds) {
  ++readCompletions_;
  ++emptyCompletions_;
  if (!lastReadEmpty_) Line(seconds, "read ended empty (repeats in a row are counted in the summary only)");
  lastReadEmpty_ = true;
}

void FieldReport::LinesPolled(double seconds, const LineLevels& lines) {
  if (polled_ && *polled_ == lines) return;
  if (polled_) {
    ++pollChanges_;
    if (polled_->dsr && !lines.dsr) {
      dsrLossAfterFrame_.push_back(lastFrame_ ? std::optional<double>(seconds - *lastFrame_) : std::nullopt);
    }
  }
  Line(seconds, "lines (poll): " + LevelsText(lines));
  polled_ = lines;
}

void FieldReport::LineEventReported(double seconds, std::string_view events,
                                    const std::optional<LineLevels>& lines) {
  const bool namesALine = events.find("EV_DSR") != std::string_view::npos ||
                          events.find("EV_CTS") != std::string_view::npos ||
                          events.find("EV_RLSD") != std::string_view::npos;
  if (namesALine) ++eventReports_;
  Line(seconds, "lines (event wait): " + std::string(events.empty() ? "no event named" : events) + "; now " +
                    (lines ? LevelsText(*lines) : std::string("not readable")));
}

void FieldReport::DriverErrors(double seconds, std::string_view flags) {
  ++driverErrors_;
  Line(seconds, "driver reported: " + std::string(flags));
}

void FieldReport::CallFailed(double seconds, std::string_view call, unsigned long code,
                             std::string_view systemText) {
  const std::string name(call);
  ++failures_[{name, code}];
  const auto last = lastFailure_.find(name);
  if (last != lastFailure_.end() && last->second == code) return;
  lastFailure_[name] = code;
  Line(seconds, name + " failed: error " + std::to_string(code) + " (" + std::string(systemText) +
                    "); the same failure again is counted in the summary only");
}

void FieldReport::PortOpened() {
  loneByte_.reset();  // pairing starts again with the first byte after an open, as in the link
}

void FieldReport::Tick(double seconds) {
  if (!loneByte_ || seconds - loneSince_ < kLoneByteLimit) return;
  ++loneWaits_;
  Line(seconds,
       "lone byte " + Hex(&*loneByte_, 1) + " waited 100 ms for its partner; dropped, as the link drops it");
  loneByte_.reset();
}

void FieldReport::WriteSummary() {
  Note("");
  Note("Summary");
  Note("  read completions: " + std::to_string(readCompletions_) +
       " (empty: " + std::to_string(emptyCompletions_) + ")");
  Note("  frames decoded: " + std::to_string(frames_));
  for (TargetMode mode : kTargetModes) {
    std::string states;
    for (const auto& [state, count] : statesPerMode_[ModeNumber(mode) - 1]) {
      states += (states.empty() ? "" : "; ") + ButtonStateName(SwitchState::FromByte(state)) + " x" +
                std::to_string(count);
    }
    Note("  " + ModeName(mode) + ": " + (states.empty() ? "none" : states));
  }
  Note("  lone bytes dropped after 100 ms: " + std::to_string(loneWaits_));
  Note("  line changes: " + std::to_string(pollChanges_) + " by the poll, " + std::to_string(eventReports_) +
       " by the event wait");
  Note("  driver errors: " + std::to_string(driverErrors_));
  std::string failures;
  for (const auto& [failure, times] : failures_) {
    failures +=
        "; " + failure.first + " error " + std::to_string(failure.second) + " x" + std::to_string(times);
  }
  Note("  failed calls: " + (failures.empty() ? std::string("none") : failures.substr(2)));
  std::string losses = "  DSR losses: " + std::to_string(dsrLossAfterFrame_.size());
  for (const auto& gap : dsrLossAfterFrame_) {
    losses += gap ? "; " + Seconds(*gap) + " after the last frame" : "; no frame before it";
  }
  Note(losses);
}

}  // namespace tovira::tools
