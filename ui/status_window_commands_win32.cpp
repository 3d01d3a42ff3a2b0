// What the user asks of the status window: its buttons and list, the keyboard's
// Esc, and the tray icon's menu.

#include <windowsx.h>

#include "ui/control_ids.h"
#include "ui/help_page_win32.h"
#include "ui/status_window_win32.h"
#include "base/texts_ja.h"
#include "ui/version_dialog_win32.h"
#include "ui/window_messages_win32.h"
#include "ui/window_text_win32.h"

namespace tovira {

void StatusWindow::OnCommand(WORD id, WORD code) {
  switch (id) {
    case kCmdVersion:
      VersionDialog::ShowModal(instance_, hwnd_, modeLabel_);  // the dialog's loop keeps hand-offs flowing
      break;
    case kCmdHelp:
      OpenManual();
      break;
    case kCmdTest:
      OpenAtDeviceList();
      break;
    case kCmdNotBalloon:
      tray_->SetBalloonsSuppressed(!tray_->balloonsSuppressed());
      break;
    case kCmdExit:
      AskToExit();
      break;
    case kIdOK:
      if (code == BN_CLICKED) ::ShowWindow(hwnd_, SW_HIDE);
      break;
    case IDCANCEL:  // Esc, as in any dialog: the window goes back to the tray
      ::ShowWindow(hwnd_, SW_HIDE);
      break;
    case kIdClearLog:
      if (code == BN_CLICKED) logPanel_->Clear();
      break;
    case kIdRefresh:
      if (code == BN_CLICKED) handler_.OnRefreshChosen();
      break;
    case kIdDeviceList:
      OnDeviceListNotice(code);
      break;
    default:
      break;
  }
}

void StatusWindow::OnDeviceListNotice(WORD code) {
  const std::optional<DevicePick> pick = deviceList_->OnNotice(code);
  if (pick) handler_.OnDeviceChosen(pick->index, pick->name);
}

void StatusWindow::OnTrayIcon(LPARAM lParam, WPARAM wParam) {
  // Only the secondary click opens the menu; a primary click or double click does nothing.
  switch (LOWORD(lParam)) {
    case WM_CONTEXTMENU:
      ShowTrayMenu(GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam));
      break;
    case WM_RBUTTONUP: {  // a shell that keeps the old callback
      POINT at{};
      ::GetCursorPos(&at);
      ShowTrayMenu(at.x, at.y);
      break;
    }
    default:
      break;
  }
}

void StatusWindow::ShowTrayMenu(int x, int y) {
  const UniqueMenu menu(::CreatePopupMenu());
  if (!menu) return;
  const auto add = [&](WORD id, std::wstring_view text, UINT flags = 0) {
    const std::wstring item(text);
    ::AppendMenuW(menu.get(), MF_STRING | flags, id, item.c_str());
  };
  add(kCmdVersion, texts::kMenuVersion);
  add(kCmdHelp, texts::kMenuHelp);
  add(kCmdTest, texts::kMenuTest);
  add(kCmdNotBalloon, texts::kMenuNotBalloon, tray_->balloonsSuppressed() ? MF_CHECKED : MF_UNCHECKED);
  add(kCmdExit, texts::kMenuExit);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  ::SetForegroundWindow(hwnd_);
  ::TrackPopupMenuEx(menu.get(), TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, x, y, hwnd_, nullptr);
  ::PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void StatusWindow::AskForDeviceChoice() {
  deviceList_->AskForChoice();  // the note and the list's name first: the window opens saying them
  OpenAtDeviceList();
}

void StatusWindow::OpenAtDeviceList() {
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  KeepInWorkArea();
  ::SetForegroundWindow(hwnd_);
  ::SetFocus(Control(kIdDeviceList));  // where the user chooses the switch
  // The focus is always drawn, whether or not the keyboard opened the window.
  ::SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

void StatusWindow::AskToExit() {
  const std::wstring title = WindowText(hwnd_);
  const std::wstring text = title + std::wstring(texts::kExitQuestion);
  const std::wstring caption = title + std::wstring(texts::kExitCaptionSuffix);
  // Cancel is the default: Enter keeps the program running.
  if (::MessageBoxW(hwnd_, text.c_str(), caption.c_str(), MB_OKCANCEL | MB_ICONSTOP | MB_DEFBUTTON2) ==
      IDOK) {
    ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
}

}  // namespace tovira
