#include "ui/device_pick_filter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tovira {
namespace {

// Plays a sequence of the device list's notifications and program actions and
// gives the entries the filter let through as picks. Tokens: D dropped down,
// U closed up, X cancelled (each on the current selection); cN / CN the
// selection changed to N with the list open / closed; aN / AN accepted with the
// list open / closed; PN the program selected N; E the list emptied.
std::vector<int> Picks(int followed, const std::string& sequence) {
  DevicePickFilter filter;
  filter.SelectedByProgram(followed);
  int selection = followed;
  std::vector<int> picks;
  std::istringstream tokens(sequence);
  for (std::string token; tokens >> token;) {
    const char kind = token[0];
    if (token.size() > 1) selection = std::stoi(token.substr(1));
    const auto notice = [&](DeviceListNotice what, bool dropped) {
      if (filter.IsNewPick(what, selection, dropped)) picks.push_back(selection);
    };
    switch (kind) {
      case 'D':
        notice(DeviceListNotice::kDroppedDown, false);
        break;
      case 'U':
        notice(DeviceListNotice::kClosedUp, false);
        break;
      case 'X':
        notice(DeviceListNotice::kSelectionCancelled, true);
        break;
      case 'c':
        notice(DeviceListNotice::kSelectionChanged, true);
        break;
      case 'C':
        notice(DeviceListNotice::kSelectionChanged, false);
        break;
      case 'a':
        notice(DeviceListNotice::kSelectionAccepted, true);
        break;
      case 'A':
        notice(DeviceListNotice::kSelectionAccepted, false);
        break;
      case 'P':
        filter.SelectedByProgram(selection);
        break;
      case 'E':
        selection = -1;
        filter.Cleared();
        break;
      default:
        ADD_FAILURE() << "unknown token " << token;
    }
  }
  return picks;
}

// Each pick restarts the link: one pick must come through once, whatever pair of
// notifications announces it and in whatever order. The link follows entry 1 at first.
TEST(DevicePickFilter, EachPickComesThroughOnce) {
  const struct {
    const char* name;
    const char* sequence;
    std::vector<int> picks;
  } cases[] = {
      {"mouse: accepted while open, changed again after the close-up", "D c0 a0 U C0", {0}},
      {"mouse: accepted after the close-up, then changed", "D c0 U A0 C0", {0}},
      {"mouse: changed after the close-up, then accepted", "D c0 U C0 A0", {0}},
      {"mouse: the followed entry picked again from the open list", "D c1 a1 U C1", {1}},
      {"mouse: the highlight moved, then the drop-down cancelled", "D c0 X1 U C1", {}},
      {"keys on the closed list: each press one pick, in either order", "A2 C2 C1 A1 C0", {2, 1, 0}},
      {"a key at the end of the list moves nothing", "C1 A1", {}},
      {"two picks in a row from the open list", "D c2 a2 U C2 D c0 U A0 C0", {2, 0}},
      {"the program's selection is followed already", "P2 C2 A2 C0", {0}},
      {"a refilled list: the first pick of any entry counts", "E A0 C0", {0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Picks(1, c.sequence), c.picks) << c.name << ": " << c.sequence;
  }
}

}  // namespace
}  // namespace tovira
