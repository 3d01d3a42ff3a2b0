#pragma once
// Which of the device list's notifications is the user's pick. One pick may
// bring both the "selection accepted" and the "selection changed" notification,
// in either order around the close-up, and every pick restarts the link: the
// filter lets each pick through exactly once. A keypress on the closed list is
// a pick of its own; a cancelled drop-down is none.

namespace tovira {

enum class DeviceListNotice {
  kDroppedDown,
  kSelectionChanged,
  kClosedUp,
  kSelectionAccepted,
  kSelectionCancelled,
};

class DevicePickFilter {
 public:
  // Whether this notification is a new pick of the entry at `index` (-1: none),
  // `droppedDown` telling whether the list is open as it arrives.
  bool IsNewPick(DeviceListNotice notice, int index, bool droppedDown);
  // The program selected the entry (a selection the link already follows).
  void SelectedByProgram(int index);
  // The list was emptied.
  void Cleared();

 private:
  int followed_ = -1;      // the entry the link was last started for
  bool openPick_ = false;  // a pick from the open list counts even on the same entry
};

}  // namespace tovira
