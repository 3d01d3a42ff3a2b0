// Tovira's entry point: one copy per logon session, then the program behind its hidden window, and the loop.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/build_mode.h"
#include "app/single_instance_win32.h"
#include "app/switch_app_win32.h"
#include "base/texts_ja.h"

namespace {

void ShowAlreadyRunning() {
  const std::wstring text(tovira::texts::kAlreadyRunning);
  const std::wstring caption(tovira::texts::kAlreadyRunningCaption);
  ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // DLLs only from System32, never from the program's or the current folder.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  const tovira::SingleInstance instanceOfSession;
  if (!instanceOfSession.first()) {
    ShowAlreadyRunning();
    tovira::ShowRunningCopy();
    return 0;
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);

  auto app = tovira::SwitchApp::Create(instance, tovira::BuildTargetMode());
  if (!app) return 0;
  tovira::RunMessageLoop(app->hwnd());
  return 0;
}
