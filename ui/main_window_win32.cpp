#include "ui/main_window_win32.h"

#include <shellapi.h>
#include <windowsx.h>

#include "ui/control_ids.h"
#include "ui/ui_texts.h"
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

bool InFrame(int id) {
  return (id >= kIdSerch && id <= kIdOK) || id == kIdPicture;
}

}  // namespace

FMain::FMain(HINSTANCE instance, TargetMode mode, SearchSources sources)
    : instance_(instance),
      mode_(mode),
      tray_(std::make_shared<TrayIcon>()),
      handOff_(std::make_shared<WindowHandOff>()),
      appEnding_(std::make_shared<std::atomic<bool>>(false)),
      lampOnBrush_(::CreateSolidBrush(RGB(127, 255, 0))),
      lampOffBrush_(::CreateSolidBrush(RGB(245, 245, 245))),
      whiteBrush_(::CreateSolidBrush(RGB(255, 255, 255))) {
  searchSources_ = std::move(sources);
}

std::unique_ptr<FMain> FMain::Create(HINSTANCE instance, TargetMode mode, SearchSources sources) {
  if (!RegisterWindowClass(instance, &FMain::WndProc)) return nullptr;
  std::unique_ptr<FMain> window(new FMain(instance, mode, std::move(sources)));
  const std::wstring title(texts::kWindowTitle);
  // Sized once the window knows its monitor's scaling.
  HWND hwnd =
      ::CreateWindowExW(0, kWindowClass, title.c_str(), kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, window.get());
  if (hwnd == nullptr) return nullptr;
  window->CreateControls();
  window->Init();
  window->ResizeWindow();
  window->taskbarCreatedMessage_ = ::RegisterWindowMessageW(L"TaskbarCreated");
  window->tray_->Add(hwnd, window->DisableIco, std::wstring(texts::kTipNotConnected));
  const auto bigIcon = ::LoadImageW(instance, L"hrm_enable", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
  ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(window->EnableIco));
  window->handOff_->Attach(hwnd);
  // The window starts minimized; its load handler hides it before the user can
  // interact, leaving only the tray icon.
  ::ShowWindow(hwnd, SW_SHOWMINNOACTIVE);
  ::PostMessageW(hwnd, kMsgLoad, OwnMessageKey(), 0);
  return window;
}

FMain::~FMain() {
  handOff_->Detach();
  tray_->Remove();
  if (hwnd_ != nullptr) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
  serialLink_.reset();  // a worker still blocked is cut off and left to end by itself
  if (searchThread_.joinable()) {
    if (SearchAlive()) {
      searchThread_.detach();  // its hand-offs fail once the window is gone
    } else {
      searchThread_.join();
    }
  }
  for (HBRUSH brush : {lampOnBrush_, lampOffBrush_, whiteBrush_}) ::DeleteObject(brush);
  for (HFONT font : fonts_) ::DeleteObject(font);
  FreePictures();
  for (HICON icon : {EnableIco, DisableIco}) {
    if (icon != nullptr) ::DestroyIcon(icon);
  }
}

LRESULT CALLBACK FMain::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<FMain*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FMain*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return 0;  // nothing crosses the window procedure
  }
}

LRESULT FMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == taskbarCreatedMessage_ && message != 0) {
    tray_->AddAgain();  // Explorer restarted: the icon comes back
    return 0;
  }
  switch (message) {
    case kMsgLoad:
      if (wParam == OwnMessageKey()) FMain_Load();
      return 0;
    case kMsgHandOff:
      return handOff_->Run(wParam, lParam);
    case kMsgStatusChanged:
      if (wParam == OwnMessageKey()) OnStatusChanged();
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
      if (wParam == kLogFlushTimer) FlushLog();
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      FMain_FormClosing();
      ::DestroyWindow(hwnd_);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The process ends right after this returns: save and release now.
      if (wParam) FMain_FormClosing();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

void FMain::OnCommand(WORD id, WORD code) {
  switch (id) {
    case kCmdVersion:
      FVersion::ShowModal(instance_, hwnd_);  // mnu_Version_Click; the dialog's loop keeps hand-offs flowing
      break;
    case kCmdHelp:
      mnu_Help_Click();
      break;
    case kCmdTest:
      mnu_Test_Click();
      break;
    case kCmdNotBalloon:
      mnu_NotBalloon_Click();
      break;
    case kCmdExit:
      mnu_Exit_Click();
      break;
    case kIdOK:
      if (code == BN_CLICKED) btn_OK_Click();
      break;
    case IDCANCEL:  // Esc, as in any dialog: the window goes back to the tray
      btn_OK_Click();
      break;
    case kIdLogClear:
      if (code == BN_CLICKED) btn_LogClear_Click();
      break;
    case kIdSerch:
      if (code == BN_CLICKED) btn_Serch_Click();
      break;
    case kIdBT:
      // The user's committed choice: picked from the open list (SELENDOK), or
      // changed with the keys while it is closed. CB_SETCURSEL sends neither.
      if (code == CBN_SELENDOK ||
          (code == CBN_SELCHANGE && !::SendMessageW(Control(kIdBT), CB_GETDROPPEDSTATE, 0, 0))) {
        cmb_BT_SelectionChangeCommitted();
      }
      break;
    default:
      break;
  }
}

void FMain::OnTrayIcon(LPARAM lParam, WPARAM wParam) {
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

void FMain::ShowTrayMenu(int x, int y) {
  HMENU menu = ::CreatePopupMenu();
  if (menu == nullptr) return;
  const auto add = [&](WORD id, std::wstring_view text, UINT flags = 0) {
    const std::wstring item(text);
    ::AppendMenuW(menu, MF_STRING | flags, id, item.c_str());
  };
  add(kCmdVersion, texts::kMenuVersion);
  add(kCmdHelp, texts::kMenuHelp);
  add(kCmdTest, texts::kMenuTest);
  add(kCmdNotBalloon, texts::kMenuNotBalloon, tray_->balloonsSuppressed() ? MF_CHECKED : MF_UNCHECKED);
  add(kCmdExit, texts::kMenuExit);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  ::SetForegroundWindow(hwnd_);
  ::TrackPopupMenuEx(menu, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, x, y, hwnd_, nullptr);
  ::PostMessageW(hwnd_, WM_NULL, 0, 0);
  ::DestroyMenu(menu);
}

LRESULT FMain::OnControlColor(HDC dc, HWND control) {
  const int id = ::GetDlgCtrlID(control);
  if (id >= kIdOPEN && id < kIdOPEN + 6) {
    const int state = lampState_[static_cast<std::size_t>(id - kIdOPEN)];
    if (state >= 0) {
      ::SetBkColor(dc, state != 0 ? RGB(127, 255, 0) : RGB(245, 245, 245));
      return reinterpret_cast<LRESULT>(state != 0 ? lampOnBrush_ : lampOffBrush_);
    }
  } else if (InFrame(id)) {
    ::SetBkColor(dc, RGB(255, 255, 255));
    if (id == kIdTitle || id == kIdName) ::SetTextColor(dc, RGB(70, 130, 180));
    return reinterpret_cast<LRESULT>(whiteBrush_);
  }
  return ::DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(control));
}

void FMain::mnu_Test_Click() {
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::SetForegroundWindow(hwnd_);
  ::SetFocus(Control(kIdBT));  // the first stop of the tab order
}

void FMain::btn_OK_Click() {
  ::ShowWindow(hwnd_, SW_HIDE);
}

void FMain::mnu_NotBalloon_Click() {
  tray_->SetBalloonsSuppressed(!tray_->balloonsSuppressed());
}

void FMain::mnu_Help_Click() {
  const std::wstring address(texts::kManualAddress);
  ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);  // failures ignored
}

void FMain::btn_LogClear_Click() {
  pendingLog_.clear();
  ::SetWindowTextW(Control(kIdLog), L"");
}

void FMain::OnDestroy() {
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
