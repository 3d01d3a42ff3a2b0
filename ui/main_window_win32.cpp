#include "ui/main_window_win32.h"

#include <string>

#include "ui/ui_texts.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

constexpr wchar_t kWindowClass[] = L"ToviraMainWindow";
constexpr int kClientWidth = 256;
constexpr int kClientHeight = 289;
// No WS_SYSMENU: no close, minimize or maximize box; the tray menu ends the program.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;

bool RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::unique_ptr<FMain> FMain::Create(HINSTANCE instance, TargetMode mode) {
  if (!RegisterWindowClass(instance, &FMain::WndProc)) return nullptr;
  std::unique_ptr<FMain> window(new FMain(instance, mode));
  RECT frame{0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  const std::wstring title(texts::kWindowTitle);
  HWND hwnd = ::CreateWindowExW(0, kWindowClass, title.c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                instance, window.get());
  if (hwnd == nullptr) return nullptr;
  // The window starts minimized; its load handler hides it before the user can
  // interact, leaving only the tray icon.
  ::ShowWindow(hwnd, SW_SHOWMINNOACTIVE);
  ::PostMessageW(hwnd, kMsgLoad, 0, 0);
  return window;
}

FMain::~FMain() {
  if (hwnd_ != nullptr) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
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
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT FMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMsgLoad:
      FMain_Load();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

void FMain::FMain_Load() {
  if (loaded_) return;
  loaded_ = true;
  ::ShowWindow(hwnd_, SW_HIDE);
}

void FMain::OnClose() {
  ::DestroyWindow(hwnd_);
}

void FMain::OnDestroy() {
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  ::PostQuitMessage(0);
}

int RunMessageLoop() {
  MSG message;
  BOOL result;
  while ((result = ::GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (result == -1) break;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace tovira
