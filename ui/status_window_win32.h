#pragma once
// The status and set-up window. Hidden in normal use; the tray icon is the
// program's presence. It shows what the link reports (through its StatusFeed,
// without making the link wait) and tells its handler what the user asks for; it
// knows nothing of the link, the relay or the search behind that handler.

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/scoped_handle_win32.h"
#include "ui/accessible_name_win32.h"
#include "ui/device_pick_filter.h"
#include "ui/hand_off_win32.h"
#include "ui/lamp_tips_win32.h"
#include "ui/status_feed.h"
#include "ui/support_log.h"
#include "ui/tray_icon_win32.h"
#include "ui/window_colours.h"

namespace tovira {

// No WS_SYSMENU: no close, minimize or maximize box; the tray menu ends the program.
inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;

// What the user asks of the window; every call runs on the window thread. Before
// the load only a pick or a refresh can come (from another program: the controls
// are not shown yet).
class StatusWindowHandler {
 public:
  virtual ~StatusWindowHandler() = default;
  // Once, when the message loop first runs; never when a close came before.
  virtual void OnLoad() = 0;
  // The refresh button: search for the devices again.
  virtual void OnRefreshChosen() = 0;
  // The user committed a choice in the device list (`index` -1: none).
  virtual void OnDeviceChosen(int index, const std::wstring& name) = 0;
  // The orderly end, once: the window and its controls still exist. When the
  // session ends, the system may end the process within seconds of this call:
  // what must outlive the process comes first.
  virtual void OnClosing(bool sessionEnds) = 0;
  // The PC has resumed from sleep.
  virtual void OnResumed() = 0;
  // A device arrived (a serial port among them, perhaps).
  virtual void OnDeviceArrived() = 0;
};

class StatusWindow final {
 public:
  // Null when the window cannot be built. It stays off the screen and out of
  // the tray until Start.
  static std::unique_ptr<StatusWindow> Create(HINSTANCE instance, StatusWindowHandler& handler);
  // The tray icon, the minimized window and, once the loop runs, the handler's load.
  void Start();
  ~StatusWindow();
  StatusWindow(const StatusWindow&) = delete;
  StatusWindow& operator=(const StatusWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // Where the link's thread reports for this window.
  const std::shared_ptr<StatusFeed>& feed() const { return feed_; }
  // The search's synchronous calls onto the window thread.
  const std::shared_ptr<WindowHandOff>& handOff() const { return handOff_; }
  const std::shared_ptr<TrayIcon>& tray() const { return tray_; }

  // Set-up at start-up.
  void SetModeLabel(const std::wstring& label);
  void ShowLogPanel();  // the log mode: the window twice as tall
  // The log's lines go to `log` too, whether or not the panel is shown.
  void StartSupportLog(std::unique_ptr<SupportLog> log);
  void SetPortNotSave(bool checked);
  bool PortNotSave() const;

  // The switch's state.
  void ShowSwitchState(SwitchState state);
  void ShowConnected(bool connected);
  void ShowLineStates(const LineLamps& lines);
  // Draws in the system's colours while `on` (the system's high contrast); the
  // window follows the system's setting by itself.
  void UseHighContrast(bool on);
  // The tray's tooltip and icon: connected or not, and a second line (and the
  // icon with the battery mark) while the battery is low.
  void ShowTip();
  // The port whose name the window shows while it is open.
  void SetPortLabel(const std::wstring& port) { portLabel_ = port; }
  // Applies what the feed collected since the last look.
  void ApplyStatusNews();

  // The log panel: a line stamped with the time now, into the panel with the
  // next flush and into the support log (nothing while neither is on).
  void AddLogLine(const std::wstring& text);
  void FlushLogPanel();

  // The device list.
  void ShowSearching(bool searching);
  // Opens the window with the list focused and asks, in the searching note's
  // place, for a device to be chosen; ends with the next pick, list opening or search.
  void AskForDeviceChoice();
  void EndDeviceChoice();
  void ClearDeviceList();
  // The index of the new entry, -1 when the list took none.
  int AddToDeviceList(const std::wstring& name, bool select);
  std::wstring DeviceListText() const;

  // Ends the window's life in order (the handler's closing runs first) when the
  // user or the system closes it.
  void Close();

 private:
  StatusWindow(HINSTANCE instance, StatusWindowHandler& handler);

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnLoad();
  void OnCommand(WORD id, WORD code);
  void OnTrayIcon(LPARAM lParam, WPARAM wParam);
  void ShowTrayMenu(int x, int y);
  void OnDeviceListNotice(WORD code);
  void OnDeviceChosen();
  void ShowForTest();
  void AskToExit();
  void OpenHelp();
  void ClearLogPanel();
  void RunClosing(bool sessionEnds);
  void OnDestroy();
  HWND Control(WORD id) const { return ::GetDlgItem(hwnd_, id); }

  // Layout (status_window_layout_win32.cpp): designed in pixels at 96 DPI,
  // scaled to the monitor the window is on.
  void CreateControls();
  void ApplyLayout();
  void ResizeWindow();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void PaintFrame(HDC dc);
  int Scaled(int designPixels) const;
  HFONT UiFont(int centiPoints, bool bold);

  // For assistive technology, colour and keyboard (status_window_access_win32.cpp).
  void SetUpAccessibility();
  void Say(WORD id, const std::wstring& words);  // the control's accessible name and tooltip
  void SayPicture(WORD id, const UniqueBitmap* shown);
  void SayLineStates();
  void OnSystemColoursChanged();
  LRESULT OnControlColor(HDC dc, HWND control);
  HBRUSH BrushOf(Colour colour);
  COLORREF ColourRef(Colour colour) const;
  void RememberFocus();
  void RestoreFocus();
  RECT WorkArea() const;
  void KeepInWorkArea();               // the whole window on its monitor's work area
  void FitLogPanel(int designBottom);  // the log panel within the client area
  void OnSized();

  // The status pictures at the window's scaling ("btn_on", "btn_on_150" …) and
  // the tray icons ("hrm_enable", "hrm_disable", "hrm_low_battery") at the tray's size.
  void LoadPictures();
  void FreePictures();
  void LoadTrayIcons();
  // Shows the picture held in `slot` and remembers the slot, so that a change of
  // scaling can show the same picture at the new size.
  void SetPicture(WORD id, UniqueBitmap* slot);

  HINSTANCE instance_;
  StatusWindowHandler& handler_;
  HWND hwnd_ = nullptr;
  bool loaded_ = false;
  bool closing_ = false;
  // A close or an end of session that came before the load (from the loop of a
  // message box at start-up, say): carried out in the load's place.
  bool closeBeforeLoad_ = false;
  UINT taskbarCreatedMessage_ = 0;
  UniqueDeviceNotification portArrivals_;

  std::shared_ptr<TrayIcon> tray_;
  std::shared_ptr<WindowHandOff> handOff_;
  std::shared_ptr<StatusFeed> feed_;
  std::wstring portLabel_;
  std::wstring searchingNote_;  // the note's own text while it asks for a choice
  std::wstring modeLabel_;
  DevicePickFilter devicePicks_;  // one restart of the link per pick in the device list
  bool connected_ = false;
  bool batteryLow_ = false;

  bool logPanelShown_ = false;
  std::unique_ptr<SupportLog> supportLog_;  // written on this thread, never the link's
  std::wstring pendingLog_;                 // lines not yet in the panel
  bool logFlushPending_ = false;
  static constexpr UINT_PTR kLogFlushTimer = 1;
  static constexpr UINT kLogFlushMs = 100;
  void WriteLog(const std::wstring& lines);   // to the support log and the panel, as they are on
  void AppendLog(const std::wstring& lines);  // lines that already carry their time

  // Line-state lamps: unpainted until the first update, then on or off.
  std::array<int, 6> lampState_{-1, -1, -1, -1, -1, -1};
  std::map<COLORREF, UniqueBrush> fixedBrushes_;  // the colours of the normal scheme
  bool highContrast_ = false;
  std::unique_ptr<ThreadApartment> apartment_;
  std::unique_ptr<LampTips> tips_;
  WORD focusBeforeSearch_ = 0;
  std::map<WORD, std::wstring> saidWords_;  // what each picture and lamp says now
  bool wordsHeld_ = false;                  // while pictures pass through states not to be said
  std::vector<UniqueFont> fonts_;
  UINT dpi_ = 96;

  std::map<WORD, UniqueBitmap*> shownPictures_;
  UniqueBitmap pressedPicture_;
  UniqueBitmap releasedPicture_;
  UniqueBitmap connectedPicture_;
  UniqueBitmap disconnectedPicture_;
  UniqueBitmap lowBatteryPicture_;
  UniqueBitmap decorationPicture_;
  UniqueIcon connectedIcon_;
  UniqueIcon disconnectedIcon_;
  UniqueIcon lowBatteryIcon_;
};

// Runs the window thread's message loop until the status window has gone; the
// keyboard moves between the controls of `window` as in a dialog.
int RunMessageLoop(HWND window);

}  // namespace tovira
