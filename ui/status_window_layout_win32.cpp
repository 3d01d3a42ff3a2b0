// The status window's controls at their places, designed for a font cell of 6 x 12
// at 96 DPI and scaled to the window's monitor.

#include "ui/status_window_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

#include "ui/display_scale.h"
#include "base/texts_ja.h"
#include "ui/window_dpi_win32.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

constexpr int kClientWidth = 256;
constexpr int kClientHeight = 289;
// The white frame: its children are placed relative to its origin.
constexpr int kFrameX = 8;
constexpr int kFrameY = 7;
constexpr int kFrameWidth = 241;
constexpr int kFrameHeight = 211;
constexpr int kLogPanelBottom = 333 + 269;

struct ControlLayout {
  WORD id;
  const wchar_t* windowClass;
  const wchar_t* text;
  DWORD style;
  DWORD exStyle;
  int x, y, width, height;
  bool inFrame;
  int boldCentiPoints = 0;  // its own bold "MS UI Gothic" at this size; 0: the window's font
};

constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kPicture = WS_CHILD | WS_VISIBLE | SS_BITMAP;
constexpr DWORD kLamp = WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE;

// In tab order, which is the order on the screen: top to bottom, left to right.
const ControlLayout kControls[] = {
    {kIdRefresh, WC_BUTTONW, texts::kRefreshButton.data(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
     0, 53, 13, 75, 23, true},
    {kIdDeviceList, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
     53, 40, 165, 200, true},
    {kIdSearchingNote, WC_EDITW, texts::kSearchingNote.data(), WS_CHILD | ES_READONLY, 0, 53, 15, 181, 12,
     true},
    {kIdOK, WC_BUTTONW, texts::kOkButton.data(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 85,
     173, 75, 32, true},
    {kIdPortNotSave, WC_BUTTONW, texts::kPortNotSave.data(),
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 72, 224, 153, 16, false},
    {kIdDecoration, WC_STATICW, L"", kPicture, 0, 8, 13, 34, 39, true},
    {kIdConnectedLamp, WC_STATICW, L"", kPicture, 0, 224, 45, 10, 10, true},
    {kIdBatteryLabel, WC_STATICW, texts::kBatteryLabel.data(),
     WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE, WS_EX_STATICEDGE, 189, 69, 31, 14, true},
    {kIdBattery, WC_STATICW, L"", kPicture, 0, 224, 72, 10, 10, true},
    {kIdTitle, WC_STATICW, texts::kWindowTitle.data(), kLabel, 0, 6, 87, 230, 18, true, 1125},
    {kIdModeLabel, WC_STATICW, texts::kModeLabels[0].data(), WS_CHILD | WS_VISIBLE | SS_RIGHT, 0, 5, 105, 230,
     18, true, 1125},
    {kIdButtonNumber1 + 0, WC_STATICW, L"1", kLabel, 0, 32, 125, 15, 13, true, 975},
    {kIdButtonNumber1 + 1, WC_STATICW, L"2", kLabel, 0, 72, 124, 15, 13, true, 975},
    {kIdButtonNumber1 + 2, WC_STATICW, L"3", kLabel, 0, 112, 125, 15, 13, true, 975},
    {kIdButtonNumber1 + 3, WC_STATICW, L"4", kLabel, 0, 152, 125, 15, 13, true, 975},
    {kIdButtonNumber1 + 4, WC_STATICW, L"5", kLabel, 0, 192, 125, 15, 13, true, 975},
    {kIdButton1 + 0, WC_STATICW, L"", kPicture, 0, 28, 143, 20, 20, true},
    {kIdButton1 + 1, WC_STATICW, L"", kPicture, 0, 68, 143, 20, 20, true},
    {kIdButton1 + 2, WC_STATICW, L"", kPicture, 0, 108, 143, 20, 20, true},
    {kIdButton1 + 3, WC_STATICW, L"", kPicture, 0, 148, 143, 20, 20, true},
    {kIdButton1 + 4, WC_STATICW, L"", kPicture, 0, 188, 143, 20, 20, true},
    {kIdStatusCaption, WC_STATICW, texts::kStatusCaption.data(), kLabel, 0, 11, 245, 57, 12, false, 900},
    {kIdPortCaption, WC_STATICW, texts::kPortCaption.data(), kLabel, 0, 70, 245, 69, 12, false, 900},
    {kIdPortName, WC_STATICW, L"", kLabel, 0, 138, 245, 69, 12, false, 900},
    {kIdFirstLineLamp + 0, WC_STATICW, texts::kLineLampLabels[0].data(), kLamp, WS_EX_STATICEDGE, 13, 265, 41,
     14, false, 900},
    {kIdFirstLineLamp + 1, WC_STATICW, texts::kLineLampLabels[1].data(), kLamp, WS_EX_STATICEDGE, 61, 265, 25,
     14, false, 900},
    {kIdFirstLineLamp + 2, WC_STATICW, texts::kLineLampLabels[2].data(), kLamp, WS_EX_STATICEDGE, 95, 265, 33,
     14, false, 900},
    {kIdFirstLineLamp + 3, WC_STATICW, texts::kLineLampLabels[3].data(), kLamp, WS_EX_STATICEDGE, 136, 265,
     33, 14, false, 900},
    {kIdFirstLineLamp + 4, WC_STATICW, texts::kLineLampLabels[4].data(), kLamp, WS_EX_STATICEDGE, 177, 265,
     32, 14, false, 900},
    {kIdFirstLineLamp + 5, WC_STATICW, texts::kLineLampLabels[5].data(), kLamp, WS_EX_STATICEDGE, 217, 265,
     32, 14, false, 900},
    {kIdClearLog, WC_BUTTONW, texts::kClearLogButton.data(), WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, 177,
     296, 72, 31, false},
    {kIdLogPanel, WC_EDITW, L"",
     WS_CHILD | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE, 8,
     333, 241, 269, false},
};

}  // namespace

int StatusWindow::Scaled(int designPixels) const {
  return ScaleToDpi(designPixels, dpi_);
}

HFONT StatusWindow::UiFont(int centiPoints, bool bold) {
  // The Japanese UI face; where it is missing the platform substitutes its own.
  const int pixels = -::MulDiv(centiPoints, static_cast<int>(dpi_), 7200);
  UniqueFont font(::CreateFontW(pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic"));
  HFONT created = font.get();
  if (font) fonts_.push_back(std::move(font));
  return created;
}

void StatusWindow::CreateControls() {
  // Created in the table's order, which is the tab order.
  for (const ControlLayout& entry : kControls) {
    ::CreateWindowExW(entry.exStyle, entry.windowClass, entry.text, entry.style, 0, 0, 0, 0, hwnd_,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(entry.id)), instance_, nullptr);
  }
  // The edit control's default limit (about 30,000 characters) would stop the
  // log from taking lines silently.
  ::SendMessageW(Control(kIdLogPanel), EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
  dpi_ = WindowDpi(hwnd_);
  ApplyLayout();
}

void StatusWindow::ApplyLayout() {
  // New fonts first: a control must never hold a font that has been deleted.
  std::vector<UniqueFont> oldFonts = std::move(fonts_);
  fonts_.clear();
  HFONT windowFont = UiFont(900, false);
  if (windowFont == nullptr) windowFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  std::map<int, HFONT> boldFonts;
  for (const ControlLayout& entry : kControls) {
    HWND control = Control(entry.id);
    if (control == nullptr) continue;
    const int x = entry.x + (entry.inFrame ? kFrameX : 0);
    const int y = entry.y + (entry.inFrame ? kFrameY : 0);
    ::SetWindowPos(control, nullptr, Scaled(x), Scaled(y), Scaled(entry.width), Scaled(entry.height),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    HFONT font = windowFont;
    if (entry.boldCentiPoints != 0) {
      HFONT& bold = boldFonts[entry.boldCentiPoints];
      if (bold == nullptr) bold = UiFont(entry.boldCentiPoints, true);
      if (bold != nullptr) font = bold;
    }
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  oldFonts.clear();
  FitLogPanel(kLogPanelBottom);
}

void StatusWindow::OnSized() {
  FitLogPanel(kLogPanelBottom);
}

void StatusWindow::ResizeWindow() {
  RECT frame{0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
  AdjustFrameForDpi(frame, kMainWindowStyle, 0, dpi_);
  const int height = frame.bottom - frame.top;
  // With the log panel the whole window is twice as tall, within the work area:
  // the panel then ends higher and scrolls.
  const RECT work = WorkArea();
  const LONG tallest = work.bottom > work.top ? work.bottom - work.top : 2 * height;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left,
                 std::min(static_cast<LONG>(logPanel_->shown() ? 2 * height : height), tallest),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  KeepInWorkArea();
}

void StatusWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi != 0 ? dpi : kDesignDpi;
  ApplyLayout();
  if (pictures_) pictures_->Load(dpi_);  // the drawn size nearest the new scaling, the same pictures shown
  // The system's rectangle keeps the window under the pointer while it is dragged
  // between monitors.
  ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  KeepInWorkArea();
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void StatusWindow::PaintFrame(HDC dc) {
  const RECT frame{Scaled(kFrameX), Scaled(kFrameY), Scaled(kFrameX + kFrameWidth),
                   Scaled(kFrameY + kFrameHeight)};
  ::FillRect(dc, &frame, BrushOf(ColourOf(WindowPart::kFrame, highContrast_)));
}

}  // namespace tovira
