// The status window for those who do not see its colours or do not use a mouse:
// its list and log have names for assistive technology (the pictures and lamps
// say their own state, the decorative one nothing), high contrast draws in the system's colours, and the
// window fits the screen's work area.

#include <algorithm>
#include <optional>

#include "ui/accessible_name_win32.h"
#include "ui/control_ids.h"
#include "ui/status_window_win32.h"
#include "base/texts_ja.h"

namespace tovira {
namespace {

bool InFrame(int id) {
  return (id >= kIdRefresh && id <= kIdOK) || id == kIdDecoration;
}

int SystemColourIndex(SystemColour colour) {
  switch (colour) {
    case SystemColour::kWindow:
      return COLOR_WINDOW;
    case SystemColour::kHighlight:
      return COLOR_HIGHLIGHT;
    case SystemColour::kHighlightText:
      return COLOR_HIGHLIGHTTEXT;
    case SystemColour::kWindowText:
    case SystemColour::kNone:
      break;
  }
  return COLOR_WINDOWTEXT;
}

bool SystemHighContrast() {
  HIGHCONTRASTW setting{};
  setting.cbSize = sizeof(setting);
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) != FALSE &&
         (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace

void StatusWindow::SetUpAccessibility() {
  apartment_ = std::make_unique<ThreadApartment>();
  pictures_ = std::make_unique<StatusPictures>(hwnd_, instance_);  // their tooltips
  SetAccessibleName(Control(kIdDeviceList), std::wstring(texts::kDeviceListName));
  SetAccessibleName(Control(kIdLogPanel), std::wstring(texts::kLogPanelName));
  // The picture of a switch at the frame's corner says nothing. Win32 has no role or
  // style that hides a control from assistive technology; an empty name is how a
  // picture tells a screen reader it carries nothing to read.
  SetAccessibleName(Control(kIdDecoration), std::wstring());
  highContrast_ = SystemHighContrast();
}

void StatusWindow::UseHighContrast(bool on) {
  highContrast_ = on;
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void StatusWindow::OnSystemColoursChanged() {
  UseHighContrast(SystemHighContrast());
}

HBRUSH StatusWindow::BrushOf(Colour colour) {
  if (colour.system != SystemColour::kNone) return ::GetSysColorBrush(SystemColourIndex(colour.system));
  UniqueBrush& brush = fixedBrushes_[colour.rgb];
  if (!brush) brush.reset(::CreateSolidBrush(colour.rgb));
  return brush.get();
}

COLORREF StatusWindow::ColourRef(Colour colour) const {
  return colour.system != SystemColour::kNone ? ::GetSysColor(SystemColourIndex(colour.system)) : colour.rgb;
}

LRESULT StatusWindow::OnControlColor(HDC dc, HWND control) {
  const int id = ::GetDlgCtrlID(control);
  if (id >= kIdFirstLineLamp && id < kIdFirstLineLamp + 6) {
    // Unpainted until the first report (the pictures are made after the controls).
    const std::optional<bool> lit = pictures_ ? pictures_->LampLit(id - kIdFirstLineLamp) : std::nullopt;
    if (lit) {
      const Colour back = ColourOf(*lit ? WindowPart::kLampOn : WindowPart::kLampOff, highContrast_);
      ::SetBkColor(dc, ColourRef(back));
      ::SetTextColor(
          dc, ColourRef(ColourOf(*lit ? WindowPart::kLampOnText : WindowPart::kLampOffText, highContrast_)));
      return reinterpret_cast<LRESULT>(BrushOf(back));
    }
  } else if (InFrame(id)) {
    const Colour back = ColourOf(WindowPart::kFrame, highContrast_);
    ::SetBkColor(dc, ColourRef(back));
    const bool title = id == kIdTitle || id == kIdModeLabel;
    ::SetTextColor(
        dc, ColourRef(ColourOf(title ? WindowPart::kTitleText : WindowPart::kFrameText, highContrast_)));
    return reinterpret_cast<LRESULT>(BrushOf(back));
  }
  return ::DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(control));
}

RECT StatusWindow::WorkArea() const {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
  }
  return monitor.rcWork;
}

void StatusWindow::KeepInWorkArea() {
  if (::IsIconic(hwnd_)) return;  // placed when shown
  const RECT work = WorkArea();
  RECT window{};
  ::GetWindowRect(hwnd_, &window);
  const LONG width = std::min(window.right - window.left, work.right - work.left);
  const LONG height = std::min(window.bottom - window.top, work.bottom - work.top);
  const LONG left = std::clamp(window.left, work.left, work.right - width);
  const LONG top = std::clamp(window.top, work.top, work.bottom - height);
  if (left == window.left && top == window.top && width == window.right - window.left &&
      height == window.bottom - window.top) {
    return;
  }
  ::SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void StatusWindow::FitLogPanel(int designBottom) {
  // A window cut to the work area keeps the whole panel on the screen: the panel
  // ends at the client's bottom margin and scrolls.
  HWND panel = Control(kIdLogPanel);
  RECT client{};
  RECT place{};
  ::GetClientRect(hwnd_, &client);
  ::GetWindowRect(panel, &place);
  ::MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&place), 2);
  const LONG bottom = std::min(static_cast<LONG>(Scaled(designBottom)), client.bottom - Scaled(4));
  const LONG height = std::max(bottom - place.top, static_cast<LONG>(Scaled(24)));
  if (height == place.bottom - place.top) return;
  ::SetWindowPos(panel, nullptr, 0, 0, place.right - place.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tovira
