#pragma once
// The field check's report: every observation as one line, written the moment it
// is made (a run cut short still leaves its lines), and a summary at the end.
// Times are seconds since the run began. Frames are paired here as the link pairs
// them (two bytes in arrival order, a lone byte dropped after 100 ms, pairing
// afresh after an open) and decoded in each target mode.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/switch_state.h"

namespace tovira::tools {

struct LineLevels {
  bool dsr = false;
  bool cts = false;
  bool rlsd = false;
  bool operator==(const LineLevels& other) const {
    return dsr == other.dsr && cts == other.cts && rlsd == other.rlsd;
  }
};

// "no button", "button 3", "buttons 1+4", ", bit 5" for a spare bit, and ", battery low".
std::string ButtonStateName(SwitchState state);

class FieldReport {
 public:
  explicit FieldReport(std::ostream& out) : out_(out) {}

  // Any line of its own: a header, a prompt, a device listing.
  void Note(std::string_view text);
  void NoteAt(double seconds, std::string_view text);

  // A read that brought bytes: the bytes in hex, then each frame they complete.
  void ReadCompleted(double seconds, const std::uint8_t* bytes, std::size_t count);
  // A read that ended with no byte. Repeats in a row are counted, not listed.
  void ReadEmpty(double seconds);
  // A sample of the lines; a line is written when they differ from the last one.
  void LinesPolled(double seconds, const LineLevels& lines);
  // What the system's line-change wait reported: its event names, and the lines
  // sampled right after.
  void LineEventReported(double seconds, std::string_view events, const std::optional<LineLevels>& lines);
  // Receive errors the driver reported (names of the flags set).
  void DriverErrors(double seconds, std::string_view flags);
  // A call that failed; the same call failing again with the same code is counted only.
  void CallFailed(double seconds, std::string_view call, unsigned long code, std::string_view systemText);
  // The port (re)opened: a byte read before has no partner any more.
  void PortOpened();
  // Drops, and notes, a byte that has waited 100 ms for its partner, as the link does.
  void Tick(double seconds);

  void WriteSummary();

 private:
  void Line(double seconds, std::string_view text);
  void Frame(double seconds, std::uint8_t control, std::uint8_t stateByte);

  std::ostream& out_;
  std::optional<std::uint8_t> loneByte_;
  double loneSince_ = 0;
  bool lastReadEmpty_ = false;
  std::optional<LineLevels> polled_;
  std::optional<double> lastFrame_;
  std::map<std::string, unsigned long> lastFailure_;               // call -> code
  std::map<std::pair<std::string, unsigned long>, int> failures_;  // call and code -> times
  std::array<std::map<std::uint8_t, int>, 3> statesPerMode_;       // state byte -> frames
  int readCompletions_ = 0;
  int emptyCompletions_ = 0;
  int frames_ = 0;
  int loneWaits_ = 0;
  int pollChanges_ = 0;
  int eventReports_ = 0;
  int driverErrors_ = 0;
  std::vector<std::optional<double>> dsrLossAfterFrame_;  // per DSR loss
};

}  // namespace tovira::tools
