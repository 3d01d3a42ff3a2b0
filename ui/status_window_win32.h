#pragma once
// The status and set-up window. Hidden in normal use; the tray icon is the
// program's presence. It shows what the link reports (through its StatusFeed,
// without making the link wait) and tells its handler what the user asks for; it
// knows nothing of the link, the relay or the search behind that handler.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/scoped_handle_win32.h"
#include "ui/accessible_name_win32.h"
#include "ui/device_list_win32.h"
#include "ui/hand_off_win32.h"
#include "ui/log_panel_win32.h"
#include "ui/status_feed.h"
#include "ui/status_pictures_win32.h"
#include "ui/support_log.h"
#include "ui/tray_icon_win32.h"
#include "ui/tray_status_win32.h"
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
  void ShowSwitchState(SwitchState state) { pictures_->ShowSwitchState(state); }
  void ShowConnected(bool connected);
  void ShowLineStates(const LineLamps& lines) { pictures_->ShowLineStates(lines); }
  // Draws in the system's colours while `on` (the system's high contrast); the
  // window follows the system's setting by itself.
  void UseHighContrast(bool on);
  // The port whose name the window shows while it is open.
  void SetPortLabel(const std::wstring& port) { pictures_->SetPortLabel(port); }
  // Applies what the feed collected since the last look.
  void ApplyStatusNews();
  // Tells the feed whether the window is seen; once shown, it catches up at once.
  void NoteVisibility();

  // The log panel: a line stamped with the time now, into the panel with the
  // next flush and into the support log (nothing while neither is on).
  void AddLogLine(const std::wstring& text) { logPanel_->AddLine(text); }

  // The device list.
  void ShowSearching(bool searching) { deviceList_->ShowSearching(searching); }
  // Opens the window with the list focused and asks, in the searching note's
  // place, for a device to be chosen; ends with the next pick, list opening or search.
  void AskForDeviceChoice();
  void EndDeviceChoice() { deviceList_->EndChoice(); }
  void ClearDeviceList() { deviceList_->Clear(); }
  // The index of the new entry, -1 when the list took none.
  int AddToDeviceList(const std::wstring& name, bool select) { return deviceList_->Add(name, select); }
  std::wstring DeviceListText() const { return deviceList_->Text(); }

  // Ends the window's life in order (the handler's closing runs first) when the
  // user or the system closes it.
  void Close();

 private:
  StatusWindow(HINSTANCE instance, StatusWindowHandler& handler);

  // The window procedure dispatches (status_window_win32.cpp): the window's own
  // messages and its drawing here, the system's closes, power and devices below.
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleSystemMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnLoad();
  void OnPaint();
  void RunClosing(bool sessionEnds);
  void OnDestroy();
  HWND Control(WORD id) const { return ::GetDlgItem(hwnd_, id); }

  // The user's commands and the tray menu (status_window_commands_win32.cpp).
  void OnCommand(WORD id, WORD code);
  void OnTrayIcon(LPARAM lParam, WPARAM wParam);
  void ShowTrayMenu(int x, int y);
  void OnDeviceListNotice(WORD code);
  // The test command and the request for a choice: the window on its monitor's
  // work area, the list focused and the focus drawn.
  void OpenAtDeviceList();
  void AskToExit();

  // Layout (status_window_layout_win32.cpp): designed in pixels at 96 DPI,
  // scaled to the monitor the window is on.
  void CreateControls();
  void ApplyLayout();
  void ResizeWindow();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void PaintFrame(HDC dc);
  int Scaled(int designPixels) const;
  HFONT UiFont(int centiPoints, bool bold);

  // Colour, assistive technology and the screen's work area (status_window_access_win32.cpp).
  void SetUpAccessibility();
  void OnSystemColoursChanged();
  LRESULT OnControlColor(HDC dc, HWND control);
  HBRUSH BrushOf(Colour colour);
  COLORREF ColourRef(Colour colour) const;
  RECT WorkArea() const;
  void KeepInWorkArea();               // the whole window on its monitor's work area
  void FitLogPanel(int designBottom);  // the log panel within the client area
  void OnSized();

  HINSTANCE instance_;
  StatusWindowHandler& handler_;
  HWND hwnd_ = nullptr;
  bool loaded_ = false;
  bool shown_ = false;  // as last told to the feed
  bool closing_ = false;
  // A close or an end of session that came before the load (from the loop of a
  // message box at start-up, say): carried out in the load's place.
  bool closeBeforeLoad_ = false;
  UINT taskbarCreatedMessage_ = 0;
  UniqueDeviceNotification portArrivals_;

  std::shared_ptr<TrayIcon> tray_;
  std::shared_ptr<WindowHandOff> handOff_;
  std::shared_ptr<StatusFeed> feed_;
  std::wstring modeLabel_;

  std::map<COLORREF, UniqueBrush> fixedBrushes_;  // the colours of the normal scheme
  bool highContrast_ = false;
  std::vector<UniqueFont> fonts_;
  UINT dpi_ = 96;

  // The window's parts, each with one job. The apartment is made before the
  // pictures and outlives them: their accessible names go through COM.
  std::unique_ptr<LogPanel> logPanel_;
  std::unique_ptr<DeviceList> deviceList_;
  std::unique_ptr<ThreadApartment> apartment_;
  std::unique_ptr<StatusPictures> pictures_;
  std::unique_ptr<TrayStatus> trayStatus_;
};

// Runs the window thread's message loop until the status window has gone; the
// keyboard moves between the controls of `window` as in a dialog.
int RunMessageLoop(HWND window);

}  // namespace tovira
