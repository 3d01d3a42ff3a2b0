#pragma once
// The status window's device list and the search around it: the paired devices
// with a serial port, the user's picks (each once), the searching note in the
// refresh button's place, and the request to choose a device.

#include <windows.h>

#include <optional>
#include <string>

#include "ui/device_pick_filter.h"

namespace tovira {

// The user's committed choice in the list (`index` -1: none).
struct DevicePick {
  int index = -1;
  std::wstring name;
};

class DeviceList final {
 public:
  // The list and the refresh button are controls of `window`.
  explicit DeviceList(HWND window) : window_(window) {}
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;

  void Clear();
  // The index of the new entry, -1 when the list took none. A selection by the
  // program is no pick: the link follows it already.
  int Add(const std::wstring& name, bool select);
  std::wstring Text() const;

  // A notification of the list (WM_COMMAND's code): the pick it completes, once per pick.
  std::optional<DevicePick> OnNotice(WORD code);

  // While a search runs its note stands in the refresh button's place and the
  // other controls wait; the focus comes back where it was.
  void ShowSearching(bool searching);
  // Asks, in the searching note's place and in the list's accessible name, for a
  // device to be chosen; ends with the next pick, list opening or search.
  void AskForChoice();
  void EndChoice();

 private:
  HWND Control(WORD id) const { return ::GetDlgItem(window_, id); }
  DevicePick Selected() const;
  void RememberFocus();
  void RestoreFocus();

  HWND window_;
  DevicePickFilter picks_;      // one restart of the link per pick
  std::wstring searchingNote_;  // the note's own text while it asks for a choice
  WORD focusBeforeSearch_ = 0;
};

}  // namespace tovira
