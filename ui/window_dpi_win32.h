#pragma once
// A window's DPI and its frame at that DPI, on every Windows the manifest names:
// the per-monitor functions of Windows 10 (1607) are looked up at run time, and
// older systems get the system DPI, which is every window's DPI there.

#include <windows.h>

namespace tovira {

// The DPI of `window`'s monitor, or the system DPI where Windows cannot tell it;
// never 0.
UINT WindowDpi(HWND window);

// Grows the client rectangle `frame` to the window rectangle of a window with
// `style` and `exStyle` and no menu, at `dpi` where the system can scale a frame
// for a DPI, otherwise at the system DPI.
void AdjustFrameForDpi(RECT& frame, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace tovira
