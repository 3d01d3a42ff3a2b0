#pragma once
// The running program: it wires the serial link to the relay (the switch's path)
// and to the status window, runs the device search, and loads and saves the
// settings. It handles what the user asks of the window.

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/moved_port_watch.h"
#include "app/profile_store_win32.h"
#include "app/settings.h"
#include "base/target_mode.h"
#include "bluetooth/device_sources_win32.h"
#include "bluetooth/search_thread.h"
#include "link/serial_link.h"
#include "relay/relay_platform_win32.h"
#include "relay/target_relay.h"
#include "ui/status_window_win32.h"

namespace tovira {

class SwitchApp final : public StatusWindowHandler {
 public:
  // Null when the window cannot be built. A test may bring its own search sources
  // and a shorter patience for a port that stopped opening.
  static std::unique_ptr<SwitchApp> Create(HINSTANCE instance, TargetMode mode,
                                           SearchSources sources = PlatformSearchSources(),
                                           std::chrono::milliseconds movedPortPatience = kMovedPortPatience);
  ~SwitchApp() override;
  SwitchApp(const SwitchApp&) = delete;
  SwitchApp& operator=(const SwitchApp&) = delete;

  // The loop runs on this window; the tests drive the status window directly.
  HWND hwnd() const { return window_->hwnd(); }
  StatusWindow& window() { return *window_; }

 private:
  // The search's host: it hands the search's calls to the window thread.
  class WindowSearchHost;

  SwitchApp(TargetMode mode, SearchSources sources, std::chrono::milliseconds movedPortPatience);
  void Init();

  // What a device search does to the program (window thread).
  // A search that ends without the stored device asks the carer to choose one.
  void ShowSearching(bool searching);
  void ClearDevices() { devices_.clear(); }
  // The search's selection is the device the link follows, address and all.
  void AddDevice(const DeviceWithPort& device, bool selected);
  void SetPortName(const std::wstring& port);
  void StartLink();
  void StopLink();
  // The quiet look-up found the device on `newPort` while the link kept failing
  // on `oldPort`: the link moves there, unless the user chose meanwhile.
  void MoveLink(const std::wstring& oldPort, const std::wstring& newPort);

  void OnLoad() override;
  void OnRefreshChosen() override;
  void OnDeviceChosen(int index, const std::wstring& name) override;
  void OnClosing(bool sessionEnds) override;
  void OnResumed() override;
  void OnDeviceArrived() override;

  void StartSearch();
  // On a thread of its own: the device's current port among the paired devices.
  void StartMovedPortLookUp();
  // Serves the search's hand-offs until it ends, 30 s at most.
  void WaitForSearch();
  // What outlives the process: the settings file and the block's last contents.
  void SaveAndRelease(const SettingsAtExit& atExit);

  TargetMode mode_;
  SearchSources searchSources_;
  std::chrono::milliseconds movedPortPatience_;
  std::shared_ptr<std::atomic<bool>> appEnding_;
  std::unique_ptr<Win32ProfileStore> profile_;
  Win32RelayPlatform relayPlatform_;
  std::unique_ptr<TargetRelay> relay_;
  std::shared_ptr<MovedPortWatch> movedPortWatch_;
  std::unique_ptr<SerialLink> link_;
  std::unique_ptr<StatusWindow> window_;
  SearchThread search_;

  std::wstring deviceName_;
  std::wstring deviceAddress_;  // empty: not known (a file from before addresses were kept)
  std::wstring portName_;
  std::vector<DeviceWithPort> devices_;  // by their place in the window's device list
};

}  // namespace tovira
