// Tovira's window in high contrast under Wine, for screenshots: Wine never reports
// the system's high contrast as on, so this program builds the real program of
// mode 2 (window, link, search, settings, all as Tovira.exe builds them) and
// switches its window to the system's colours once it is up. The prefix's colour
// scheme then decides what the window looks like. A test program: never shipped.
//   tovira_high_contrast

#include <windows.h>
#include <commctrl.h>

#include "app/switch_app_win32.h"

namespace {

constexpr UINT_PTR kKeepHighContrast = 1;

// The window re-reads the system's setting when the settings or colours change,
// and Wine says "off": the switch is made again after the window's own answer.
LRESULT CALLBACK KeepHighContrast(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
  const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
  if (message == WM_SETTINGCHANGE || message == WM_SYSCOLORCHANGE) {
    reinterpret_cast<tovira::StatusWindow*>(data)->UseHighContrast(true);
  } else if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, KeepHighContrast, kKeepHighContrast);
  }
  return result;
}

}  // namespace

int wmain() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  auto app = tovira::SwitchApp::Create(::GetModuleHandleW(nullptr), tovira::TargetMode::Quorandel);
  if (!app) return 1;
  tovira::StatusWindow& window = app->window();
  window.UseHighContrast(true);
  ::SetWindowSubclass(app->hwnd(), KeepHighContrast, kKeepHighContrast, reinterpret_cast<DWORD_PTR>(&window));
  return tovira::RunMessageLoop(app->hwnd());
}
