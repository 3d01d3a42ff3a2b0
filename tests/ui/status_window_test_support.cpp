#include "tests/ui/status_window_test_support.h"

namespace tovira::window_test {

std::unique_ptr<StatusWindow> StartWindow(StatusWindowHandler& handler, bool logMode) {
  auto window = StatusWindow::Create(::GetModuleHandleW(nullptr), handler);
  if (!window) return nullptr;
  if (logMode) window->ShowLogPanel();
  window->Start();
  return window;
}

std::unique_ptr<StatusWindow> StartLoadedWindow(RecordingHandler& handler, bool logMode) {
  auto window = StartWindow(handler, logMode);
  if (!window || !PumpUntil([&] { return handler.loads > 0; }, 5000)) return nullptr;
  return window;
}

bool CloseWindow(HWND window) {
  if (::IsWindow(window)) ::SendMessageW(window, WM_CLOSE, 0, 0);
  return PumpUntil([&] { return !::IsWindow(window); }, 10000);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (!done()) {
    if (::GetTickCount64() >= deadline) return false;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    // Wakes for the next message, or after 5 ms for conditions other threads set.
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

std::wstring Text(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace tovira::window_test
