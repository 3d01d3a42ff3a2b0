#include "ui/status_window_win32.h"

#include <dbt.h>
#include <shellapi.h>
#include <windowsx.h>

#include <optional>

#include "ui/control_ids.h"
#include "ui/help_page_win32.h"
#include "base/texts_ja.h"
#include "ui/version_dialog_win32.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

constexpr const wchar_t* kWindowClass = kMainWindowClass.data();  // a literal: terminated

bool RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = ::LoadIconW(instance, L"hrm_enable");
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

// The serial port device interface class (GUID_DEVINTERFACE_COMPORT).
constexpr GUID kSerialPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

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

StatusWindow::StatusWindow(HINSTANCE instance, StatusWindowHandler& handler)
    : instance_(instance),
      handler_(handler),
      tray_(std::make_shared<TrayIcon>()),
      handOff_(std::make_shared<WindowHandOff>()) {}

std::unique_ptr<StatusWindow> StatusWindow::Create(HINSTANCE instance, StatusWindowHandler& handler) {
  if (!RegisterWindowClass(instance, &StatusWindow::WndProc)) return nullptr;
  std::unique_ptr<StatusWindow> window(new StatusWindow(instance, handler));
  const std::wstring title(texts::kWindowTitle);
  // Sized once the window knows its monitor's scaling.
  HWND hwnd =
      ::CreateWindowExW(0, kWindowClass, title.c_str(), kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, window.get());
  if (hwnd == nullptr) return nullptr;
  window->feed_ = std::make_shared<StatusFeed>(
      [hwnd] { return ::PostMessageW(hwnd, kMsgStatusChanged, OwnMessageKey(), 0) != FALSE; },
      [] {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        return LocalTimeOfDay{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
      });
  window->CreateControls();
  window->SetUpAccessibility();
  window->LoadTrayIcons();
  window->LoadPictures();
  window->ResizeWindow();
  return window;
}

void StatusWindow::Start() {
  taskbarCreatedMessage_ = ::RegisterWindowMessageW(L"TaskbarCreated");
  // Serial ports that arrive reach every top-level window as a broadcast; the
  // ports of a device interface only when asked for.
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kSerialPortInterface;
  portArrivals_.reset(::RegisterDeviceNotificationW(hwnd_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
  tray_->Add(hwnd_, disconnectedIcon_.get(), std::wstring(texts::kTipNotConnected));
  const auto bigIcon = ::LoadImageW(instance_, L"hrm_enable", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(connectedIcon_.get()));
  handOff_->Attach(hwnd_);
  // The window starts minimized; its load handler hides it before the user can
  // interact, leaving only the tray icon.
  ::ShowWindow(hwnd_, SW_SHOWMINNOACTIVE);
  ::PostMessageW(hwnd_, kMsgLoad, OwnMessageKey(), 0);
}

StatusWindow::~StatusWindow() {
  portArrivals_.reset();
  handOff_->Detach();
  tray_->Remove();
  if (hwnd_ != nullptr) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
  FreePictures();
}

LRESULT CALLBACK StatusWindow::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<StatusWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<StatusWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return 0;  // nothing crosses the window procedure
  }
}

LRESULT StatusWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == taskbarCreatedMessage_ && message != 0) {
    tray_->AddAgain();  // Explorer restarted: the icon comes back
    return 0;
  }
  switch (message) {
    case kMsgLoad:
      if (wParam == OwnMessageKey()) OnLoad();
      return 0;
    case kMsgHandOff:
      return handOff_->Run(wParam, lParam);
    case kMsgStatusChanged:
      if (wParam == OwnMessageKey()) ApplyStatusNews();
      return 0;
    case kMsgTrayIcon:  // posted by the shell, or by anyone: it only ever opens the menu
      OnTrayIcon(lParam, wParam);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(hwnd_, &paint);
      PaintFrame(dc);
      ::EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kLogFlushTimer) FlushLogPanel();
      return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
      OnSystemColoursChanged();
      return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_SIZE:
      OnSized();
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_SYSCOMMAND:
      // Alt+F4 or the taskbar's Close: the user puts the window away, as with OK.
      // Ending the program is the tray menu's; the system's closes come as WM_CLOSE.
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        ::ShowWindow(hwnd_, SW_HIDE);
        return 0;
      }
      return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_CLOSE:
      if (loaded_) {
        Close();
      } else {
        closeBeforeLoad_ = true;
      }
      return 0;
    case WM_POWERBROADCAST:
      // Before the load nothing runs that a resume or an arrival could wake.
      if (wParam == PBT_APMRESUMEAUTOMATIC && loaded_) handler_.OnResumed();
      return TRUE;
    case WM_DEVICECHANGE:
      // The details (lParam) are not read: a message from another program may
      // carry anything there, and any arrival only ends a wait early.
      if (wParam == DBT_DEVICEARRIVAL && loaded_) handler_.OnDeviceArrived();
      return TRUE;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam == FALSE) return 0;
      if (loaded_) {
        RunClosing(true);  // the process may end soon after this returns
      } else {
        closeBeforeLoad_ = true;
      }
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

void StatusWindow::OnCommand(WORD id, WORD code) {
  switch (id) {
    case kCmdVersion:
      VersionDialog::ShowModal(instance_, hwnd_, modeLabel_);  // the dialog's loop keeps hand-offs flowing
      break;
    case kCmdHelp:
      OpenHelp();
      break;
    case kCmdTest:
      ShowForTest();
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
      if (code == BN_CLICKED) ClearLogPanel();
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

void StatusWindow::OnLoad() {
  if (loaded_) return;
  loaded_ = true;
  ::ShowWindow(hwnd_, SW_HIDE);
  // Nothing is started only to be stopped: no link, no search.
  if (closeBeforeLoad_) {
    Close();
    return;
  }
  handler_.OnLoad();
}

void StatusWindow::OnDeviceListNotice(WORD code) {
  if (code == CBN_DROPDOWN) EndDeviceChoice();  // the list open: the refresh button is back
  // The user's committed choice: picked from the open list, or changed with the
  // keys while it is closed; CB_SETCURSEL sends no notification.
  const std::optional<DeviceListNotice> notice = NoticeOf(code);
  if (!notice) return;
  HWND list = Control(kIdDeviceList);
  const auto index = static_cast<int>(::SendMessageW(list, CB_GETCURSEL, 0, 0));
  const bool droppedDown = ::SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) != 0;
  if (devicePicks_.IsNewPick(*notice, index, droppedDown)) OnDeviceChosen();
}

void StatusWindow::OnDeviceChosen() {
  HWND list = Control(kIdDeviceList);
  const LRESULT index = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
  std::wstring text;
  if (index >= 0) {
    const LRESULT length = ::SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    text.assign(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  }
  handler_.OnDeviceChosen(static_cast<int>(index), text);
}

void StatusWindow::ShowForTest() {
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

void StatusWindow::OpenHelp() {
  OpenManual();
}

void StatusWindow::ClearLogPanel() {
  pendingLog_.clear();
  ::SetWindowTextW(Control(kIdLogPanel), L"");
}

void StatusWindow::Close() {
  // A close that arrives while the first one waits (for a search, say) is
  // ignored: the first still needs the window and its controls.
  if (closing_) return;
  RunClosing(false);
  FlushLogPanel();  // the closing lines reach the panel before it goes
  ::DestroyWindow(hwnd_);
}

void StatusWindow::RunClosing(bool sessionEnds) {
  if (closing_) return;  // the system's end of session may follow a close
  closing_ = true;
  handler_.OnClosing(sessionEnds);
}

void StatusWindow::SetModeLabel(const std::wstring& label) {
  modeLabel_ = label;
  ::SetWindowTextW(Control(kIdModeLabel), label.c_str());
}

void StatusWindow::ShowLogPanel() {
  logPanelShown_ = true;
  feed_->SetLogging(true);
  ::ShowWindow(Control(kIdClearLog), SW_SHOW);
  ::ShowWindow(Control(kIdLogPanel), SW_SHOW);
  ResizeWindow();  // twice as tall
}

void StatusWindow::SetPortNotSave(bool checked) {
  ::SendMessageW(Control(kIdPortNotSave), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool StatusWindow::PortNotSave() const {
  return ::SendMessageW(Control(kIdPortNotSave), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void StatusWindow::ShowSearching(bool searching) {
  if (searching) RememberFocus();
  ::ShowWindow(Control(kIdRefresh), searching ? SW_HIDE : SW_SHOW);
  ::ShowWindow(Control(kIdSearchingNote), searching ? SW_SHOW : SW_HIDE);
  for (WORD id : {kIdDeviceList, kIdOK, kIdPortNotSave, kIdClearLog}) ::EnableWindow(Control(id), !searching);
  if (!searching) RestoreFocus();
  ::UpdateWindow(hwnd_);
}

void StatusWindow::ClearDeviceList() {
  ::SendMessageW(Control(kIdDeviceList), CB_RESETCONTENT, 0, 0);
  devicePicks_.Cleared();
}

int StatusWindow::AddToDeviceList(const std::wstring& name, bool select) {
  HWND list = Control(kIdDeviceList);
  const LRESULT index = ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  if (index < 0) return -1;
  // A choice by the program runs no choice handler, and the link follows it already.
  if (select) {
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    devicePicks_.SelectedByProgram(static_cast<int>(index));
  }
  return static_cast<int>(index);
}

std::wstring StatusWindow::DeviceListText() const {
  return WindowText(Control(kIdDeviceList));
}

void StatusWindow::OnDestroy() {
  portArrivals_.reset();
  handOff_->Detach();
  tray_->Remove();
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  ::PostQuitMessage(0);
}

int RunMessageLoop(HWND window) {
  MSG message;
  BOOL result;
  while ((result = ::GetMessageW(&message, nullptr, 0, 0)) != -1) {
    // The window's destruction ends the loop; a quit that another program posts
    // while the window exists would skip the orderly shutdown, and is ignored.
    if (result == 0) {
      if (::IsWindow(window)) continue;
      break;
    }
    // Tab, the arrow keys, Esc and the mnemonics (Alt+R …) move and click as in a dialog.
    if (::IsWindow(window) && ::IsDialogMessageW(window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace tovira
