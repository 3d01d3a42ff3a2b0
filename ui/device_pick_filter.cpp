#include "ui/device_pick_filter.h"

namespace tovira {

bool DevicePickFilter::IsNewPick(DeviceListNotice notice, int index, bool droppedDown) {
  switch (notice) {
    case DeviceListNotice::kDroppedDown:
      // Picking the entry already followed from the open list is a deliberate
      // restart, as the user may want one for a switch that stopped answering.
      openPick_ = true;
      return false;
    case DeviceListNotice::kSelectionCancelled:
      openPick_ = false;
      return false;
    case DeviceListNotice::kClosedUp:
      return false;
    case DeviceListNotice::kSelectionChanged:
      // While the list is open the highlight only moves: the pick is its acceptance.
      if (droppedDown) return false;
      break;
    case DeviceListNotice::kSelectionAccepted:
      break;
  }
  // The second notification of one pick finds the entry already followed.
  const bool isNew = openPick_ || index != followed_;
  openPick_ = false;
  followed_ = index;
  return isNew;
}

void DevicePickFilter::SelectedByProgram(int index) {
  followed_ = index;
  openPick_ = false;
}

void DevicePickFilter::Cleared() {
  followed_ = -1;
  openPick_ = false;
}

}  // namespace tovira
