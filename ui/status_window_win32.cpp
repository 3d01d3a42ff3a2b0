// The status window's life and its window procedure, which only dispatches: to
// the window's own handlers and to its parts (the log panel, the pictures and
// lamps, the device list and the tray's status).

#include "ui/status_window_win32.h"

#include <dbt.h>

#include "ui/control_ids.h"
#include "base/texts_ja.h"
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

// The serial port device interface class (GUID_DEVINTERFACE_COMPORT).
constexpr GUID kSerialPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

LocalTimeOfDay LocalTimeNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return LocalTimeOfDay{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
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
      [hwnd] { return ::PostMessageW(hwnd, kMsgStatusChanged, OwnMessageKey(), 0) != FALSE; }, &LocalTimeNow);
  window->logPanel_ = std::make_unique<LogPanel>(hwnd);
  window->deviceList_ = std::make_unique<DeviceList>(hwnd);
  window->CreateControls();
  window->SetUpAccessibility();
  window->trayStatus_ = std::make_unique<TrayStatus>(instance, window->tray_);
  window->pictures_->Load(window->dpi_);
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
  trayStatus_->Add(hwnd_);
  const auto bigIcon = ::LoadImageW(instance_, L"hrm_enable", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(trayStatus_->connectedIcon()));
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
  pictures_.reset();  // the controls are gone: the pictures are freed
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
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_TIMER:
      if (logPanel_->IsFlushTimer(wParam)) logPanel_->Flush();
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
    default:
      return HandleSystemMessage(message, wParam, lParam);
  }
}

LRESULT StatusWindow::HandleSystemMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
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
    case WM_WINDOWPOSCHANGED:  // lParam is not read: another program may post anything
      NoteVisibility();
      return ::DefWindowProcW(hwnd_, message, wParam, lParam);
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

void StatusWindow::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd_, &paint);
  PaintFrame(dc);
  ::EndPaint(hwnd_, &paint);
}

void StatusWindow::Close() {
  // A close that arrives while the first one waits (for a search, say) is
  // ignored: the first still needs the window and its controls.
  if (closing_) return;
  RunClosing(false);
  logPanel_->Flush();  // the closing lines reach the panel before it goes
  ::DestroyWindow(hwnd_);
}

void StatusWindow::RunClosing(bool sessionEnds) {
  if (closing_) return;  // the system's end of session may follow a close
  closing_ = true;
  handler_.OnClosing(sessionEnds);
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
