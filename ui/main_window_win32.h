#pragma once
// FMain: the status and set-up window. Hidden in normal use; the tray icon is the
// program's presence. It owns the relay, the serial link and every control. The
// link writes the block and posts to the target on its own thread; the window
// only watches what the link reports (its StatusFeed) and shows the latest.

#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/profile_store_win32.h"
#include "bluetooth/device_search.h"
#include "app/target_mode.h"
#include "link/serial_link.h"
#include "link/serial_port_win32.h"
#include "relay/relay_platform_win32.h"
#include "relay/target_relay.h"
#include "ui/hand_off_win32.h"
#include "ui/status_feed.h"
#include "ui/tray_icon_win32.h"

namespace tovira {

// Where a device search finds devices and ports: made on the search's own thread
// (the port query needs COM there). The program uses the platform's; a test of
// the window may bring its own.
struct SearchSources {
  std::function<std::unique_ptr<BluetoothDeviceSource>()> devices;
  std::function<std::unique_ptr<SerialPortSource>()> ports;
};
SearchSources PlatformSearchSources();

// No WS_SYSMENU: no close, minimize or maximize box; the tray menu ends the program.
inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;

class FMain final {
 public:
  // Null when the window cannot be built.
  static std::unique_ptr<FMain> Create(HINSTANCE instance, TargetMode mode,
                                       SearchSources sources = PlatformSearchSources());
  ~FMain();
  FMain(const FMain&) = delete;
  FMain& operator=(const FMain&) = delete;

  HWND hwnd() const { return hwnd_; }

  // The display operations (window thread).
  void ShowSwitch(int state);
  void ShowEnable(bool enabled);
  void ShowCOM(const LineStates& lines);
  void PutLog(const std::wstring& text);
  // Puts the lines PutLog collected into the panel (also on its timer).
  void FlushLog();

  // The device search's operations on the window (window thread).
  void ShowBtn(bool enable);
  void SetBTCMB(const std::wstring& name, const std::wstring& port);
  void ClearDeviceArrays();
  void SetSearchedPort(const std::wstring& port) { mPortName = port; }
  void StopSerialWorker();
  void StartSerialWorker();

 private:
  FMain(HINSTANCE instance, TargetMode mode, SearchSources sources);

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Layout (main_window_layout_win32.cpp): designed in pixels at 96 DPI, scaled
  // to the monitor the window is on.
  void CreateControls();
  void ApplyLayout();
  void ResizeWindow();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void PaintFrame(HDC dc);
  int Scaled(int designPixels) const;
  HWND Control(WORD id) const { return ::GetDlgItem(hwnd_, id); }

  // Start-up and shutdown (app/startup_win32.cpp).
  void Init();
  void FMain_Load();
  void mnu_Exit_Click();
  void FMain_FormClosing();

  // The device search (bluetooth/device_search_win32.cpp).
  void StartSearch();
  bool SearchAlive() const;
  void WaitForSearch();
  void btn_Serch_Click();
  void cmb_BT_SelectionChangeCommitted();

  // Handlers.
  void OnStatusChanged();
  // Lines that already carry their time: into the panel with the next flush.
  void AppendLog(const std::wstring& lines);
  void OnCommand(WORD id, WORD code);
  void OnTrayIcon(LPARAM lParam, WPARAM wParam);
  void ShowTrayMenu(int x, int y);
  LRESULT OnControlColor(HDC dc, HWND control);
  void mnu_Test_Click();
  void mnu_NotBalloon_Click();
  void mnu_Help_Click();
  void btn_OK_Click();
  void btn_LogClear_Click();
  void OnDestroy();

  HINSTANCE instance_;
  TargetMode mode_;
  HWND hwnd_ = nullptr;
  bool loaded_ = false;
  bool closing_ = false;
  UINT taskbarCreatedMessage_ = 0;

  std::shared_ptr<TrayIcon> tray_;
  std::shared_ptr<WindowHandOff> handOff_;
  std::shared_ptr<std::atomic<bool>> appEnding_;
  std::unique_ptr<Win32ProfileStore> profile_;
  Win32RelayPlatform relayPlatform_;
  std::unique_ptr<TargetRelay> relay_;
  // What the link reports for the window; the route sends it there after the target.
  std::shared_ptr<StatusFeed> feed_;
  std::unique_ptr<SerialLink> serialLink_;
  SearchSources searchSources_;
  std::thread searchThread_;  // mSarchBTThread
  std::shared_ptr<std::atomic<bool>> searchEnded_;

  std::wstring mDeviceName;
  std::wstring mPortName;
  std::wstring mFormName;
  bool mLogMode = false;
  std::wstring pendingLog_;  // lines not yet in the panel
  bool logFlushPending_ = false;
  static constexpr UINT_PTR kLogFlushTimer = 1;
  static constexpr UINT kLogFlushMs = 100;
  std::vector<std::wstring> mDeviceArr;
  std::vector<std::wstring> mCOMArr;

  // Line-state lamps: unpainted until the first update, then on or off.
  std::array<int, 6> lampState_{-1, -1, -1, -1, -1, -1};
  HBRUSH lampOnBrush_ = nullptr;
  HBRUSH lampOffBrush_ = nullptr;
  HBRUSH whiteBrush_ = nullptr;
  HFONT UiFont(int centiPoints, bool bold);
  std::vector<HFONT> fonts_;
  UINT dpi_ = 96;

  // The status pictures at the window's scaling ("btn_on", "btn_on_150" …) and
  // the tray icons ("hrm_enable", "hrm_disable") at the tray's size.
  void LoadPictures();
  void FreePictures();
  void LoadTrayIcons();
  // Shows the picture held in `slot` and remembers the slot, so that a change of
  // scaling can show the same picture at the new size.
  void SetPicture(WORD id, HBITMAP* slot);
  std::map<WORD, HBITMAP*> shownPictures_;
  HBITMAP BtnOnBmp = nullptr;
  HBITMAP BtnOffBmp = nullptr;
  HBITMAP EnableBmp = nullptr;
  HBITMAP DisableBmp = nullptr;
  HBITMAP LowBatBmp = nullptr;
  HBITMAP decorationBmp_ = nullptr;
  HICON EnableIco = nullptr;
  HICON DisableIco = nullptr;
};

// Runs the window thread's message loop until the main window has gone; the
// keyboard moves between the controls of `window` as in a dialog.
int RunMessageLoop(HWND window);

}  // namespace tovira
