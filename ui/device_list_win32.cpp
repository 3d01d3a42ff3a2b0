#include "ui/device_list_win32.h"

#include <array>

#include "ui/accessible_name_win32.h"
#include "ui/control_ids.h"
#include "base/texts_ja.h"
#include "ui/window_text_win32.h"

namespace tovira {
namespace {

std::optional<DeviceListNotice> NoticeOf(WORD code) {
  switch (code) {
    case CBN_DROPDOWN:
      return DeviceListNotice::kDroppedDown;
    case CBN_SELCHANGE:
      return DeviceListNotice::kSelectionChanged;
    case CBN_CLOSEUP:
      return DeviceListNotice::kClosedUp;
    case CBN_SELENDOK:
      return DeviceListNotice::kSelectionAccepted;
    case CBN_SELENDCANCEL:
      return DeviceListNotice::kSelectionCancelled;
    default:
      return std::nullopt;
  }
}

}  // namespace

void DeviceList::Clear() {
  ::SendMessageW(Control(kIdDeviceList), CB_RESETCONTENT, 0, 0);
  picks_.Cleared();
}

int DeviceList::Add(const std::wstring& name, bool select) {
  HWND list = Control(kIdDeviceList);
  const LRESULT index = ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  if (index < 0) return -1;
  if (select) {
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);  // sends no notification
    picks_.SelectedByProgram(static_cast<int>(index));
  }
  return static_cast<int>(index);
}

std::wstring DeviceList::Text() const {
  return WindowText(Control(kIdDeviceList));
}

std::optional<DevicePick> DeviceList::OnNotice(WORD code) {
  if (code == CBN_DROPDOWN) EndChoice();  // the list open: the refresh button is back
  // The user's committed choice: picked from the open list, or changed with the
  // keys while it is closed; CB_SETCURSEL sends no notification.
  const std::optional<DeviceListNotice> notice = NoticeOf(code);
  if (!notice) return std::nullopt;
  HWND list = Control(kIdDeviceList);
  const auto index = static_cast<int>(::SendMessageW(list, CB_GETCURSEL, 0, 0));
  const bool droppedDown = ::SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) != 0;
  if (!picks_.IsNewPick(*notice, index, droppedDown)) return std::nullopt;
  return Selected();
}

DevicePick DeviceList::Selected() const {
  HWND list = Control(kIdDeviceList);
  const LRESULT index = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
  DevicePick pick{static_cast<int>(index), {}};
  if (index >= 0) {
    const LRESULT length = ::SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    pick.name.assign(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(pick.name.data()));
    pick.name.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  }
  return pick;
}

void DeviceList::ShowSearching(bool searching) {
  if (searching) RememberFocus();
  ::ShowWindow(Control(kIdRefresh), searching ? SW_HIDE : SW_SHOW);
  ::ShowWindow(Control(kIdSearchingNote), searching ? SW_SHOW : SW_HIDE);
  for (WORD id : {kIdDeviceList, kIdOK, kIdPortNotSave, kIdClearLog}) ::EnableWindow(Control(id), !searching);
  if (!searching) RestoreFocus();
  ::UpdateWindow(window_);
}

void DeviceList::AskForChoice() {
  HWND note = Control(kIdSearchingNote);
  if (searchingNote_.empty()) {
    std::array<wchar_t, 128> text{};
    searchingNote_.assign(text.data(), static_cast<std::size_t>(::GetWindowTextW(note, text.data(), 128)));
  }
  ::SetWindowTextW(note, std::wstring(texts::kChooseSwitch).c_str());
  ::ShowWindow(Control(kIdRefresh), SW_HIDE);
  ::ShowWindow(note, SW_SHOW);
  // The note is a static the focus never visits: a screen reader on the list hears
  // the request as part of the list's name.
  SetAccessibleName(Control(kIdDeviceList),
                    std::wstring(texts::kDeviceListName) + L" " + std::wstring(texts::kChooseSwitch));
}

void DeviceList::EndChoice() {
  if (searchingNote_.empty()) return;
  HWND note = Control(kIdSearchingNote);
  ::SetWindowTextW(note, searchingNote_.c_str());
  searchingNote_.clear();
  ::ShowWindow(note, SW_HIDE);
  ::ShowWindow(Control(kIdRefresh), SW_SHOW);
  SetAccessibleName(Control(kIdDeviceList), std::wstring(texts::kDeviceListName));
}

void DeviceList::RememberFocus() {
  HWND focus = ::GetFocus();
  focusBeforeSearch_ =
      focus != nullptr && ::IsChild(window_, focus) ? static_cast<WORD>(::GetDlgCtrlID(focus)) : 0;
}

void DeviceList::RestoreFocus() {
  // Hiding or disabling the focused control left the focus nowhere.
  const WORD before = focusBeforeSearch_;
  focusBeforeSearch_ = 0;
  if (before == 0 || !::IsWindowVisible(window_)) return;
  HWND target = Control(before);
  if (target == nullptr || !::IsWindowVisible(target) || !::IsWindowEnabled(target)) {
    target = Control(kIdDeviceList);
  }
  ::SetFocus(target);
}

}  // namespace tovira
