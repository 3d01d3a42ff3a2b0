#include "ui/window_dpi_win32.h"

#include "base/system_library_win32.h"
#include "ui/display_scale.h"

namespace tovira {
namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// user32 is in every process of this program: looked up, never loaded.
HMODULE User32() {
  return ::GetModuleHandleW(L"user32.dll");
}

UINT SystemDpi() {
  const UniqueScreenDc screen(::GetDC(nullptr));
  if (!screen) return kDesignDpi;
  const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

}  // namespace

UINT WindowDpi(HWND window) {
  static const auto dpiForWindow = LibraryFunction<GetDpiForWindowFunction>(User32(), "GetDpiForWindow");
  const UINT dpi = dpiForWindow != nullptr ? dpiForWindow(window) : 0;
  return dpi != 0 ? dpi : SystemDpi();
}

void AdjustFrameForDpi(RECT& frame, DWORD style, DWORD exStyle, UINT dpi) {
  static const auto adjustForDpi =
      LibraryFunction<AdjustWindowRectExForDpiFunction>(User32(), "AdjustWindowRectExForDpi");
  if (adjustForDpi != nullptr && adjustForDpi(&frame, style, FALSE, exStyle, dpi)) return;
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
}

}  // namespace tovira
