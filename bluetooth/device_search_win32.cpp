// The device search on its worker thread, and the window's two handlers that
// start a search or switch the link to the chosen device.

#include "bluetooth/device_search.h"
#include "bluetooth/device_sources_win32.h"
#include "ui/main_window_win32.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

constexpr int kSearchPolls = 300;
constexpr std::chrono::milliseconds kSearchPoll{100};

// The search's window side: every call but the balloon is handed to the window
// thread, where the window (and so `window`) exists while the call runs.
class WindowSearchHost final : public SearchHost {
 public:
  WindowSearchHost(FMain& window, std::shared_ptr<WindowHandOff> handOff, std::shared_ptr<TrayIcon> tray)
      : window_(window), handOff_(std::move(handOff)), tray_(std::move(tray)) {}

  void ShowBalloon(const std::wstring& text) override { tray_->ShowBalloon(text); }
  void ShowBtn(bool enable) override {
    handOff_->Invoke([this, enable] { window_.ShowBtn(enable); });
  }
  void StopSerialWorker() override {
    handOff_->Invoke([this] { window_.StopSerialWorker(); });
  }
  void ClearDevices() override {
    handOff_->Invoke([this] { window_.ClearDeviceArrays(); });
  }
  void AddDevice(const std::wstring& name, const std::wstring& port) override {
    handOff_->Invoke([this, &name, &port] { window_.SetBTCMB(name, port); });
  }
  void SetPortName(const std::wstring& port) override {
    handOff_->Invoke([this, &port] { window_.SetSearchedPort(port); });
  }
  void StartSerialWorker() override {
    handOff_->Invoke([this] { window_.StartSerialWorker(); });
  }

 private:
  FMain& window_;
  std::shared_ptr<WindowHandOff> handOff_;
  std::shared_ptr<TrayIcon> tray_;  // shared: a search left running may outlive the window
};

void SearchBody(const std::shared_ptr<WindowSearchHost>& host, const SearchSources& sources,
                const std::shared_ptr<const std::atomic<bool>>& appEnding,
                const std::shared_ptr<std::atomic<bool>>& ended, const std::wstring& savedDevice) {
  try {
    const std::unique_ptr<BluetoothDeviceSource> devices = sources.devices();
    const std::unique_ptr<SerialPortSource> ports = sources.ports();
    RunDeviceSearch(savedDevice, *devices, *ports, *host, *appEnding);
  } catch (...) {
    // Nothing crosses the thread's entry.
  }
  *ended = true;
}

}  // namespace

SearchSources PlatformSearchSources() {
  return {[] { return std::make_unique<Win32BluetoothDeviceSource>(); },
          [] { return std::make_unique<WmiSerialPortSource>(); }};
}

bool FMain::SearchAlive() const {
  return searchEnded_ && !searchEnded_->load();
}

void FMain::StartSearch() {
  if (SearchAlive()) return;
  if (searchThread_.joinable()) searchThread_.join();  // it has ended
  searchEnded_ = std::make_shared<std::atomic<bool>>(false);
  auto host = std::make_shared<WindowSearchHost>(*this, handOff_, tray_);
  searchThread_ = std::thread(&SearchBody, host, searchSources_, appEnding_, searchEnded_, mDeviceName);
}

void FMain::WaitForSearch() {
  SentMessageServer server;
  for (int poll = 0; poll < kSearchPolls && SearchAlive(); ++poll) {
    const ULONGLONG until = ::GetTickCount64() + static_cast<ULONGLONG>(kSearchPoll.count());
    for (ULONGLONG now = ::GetTickCount64(); now < until && SearchAlive(); now = ::GetTickCount64()) {
      server.ServeFor(std::chrono::milliseconds(until - now));
    }
  }
}

void FMain::btn_Serch_Click() {
  if (SearchAlive()) return;
  ::SendMessageW(Control(kIdBT), CB_RESETCONTENT, 0, 0);
  StartSearch();
}

void FMain::cmb_BT_SelectionChangeCommitted() {
  StopSerialWorker();
  HWND chooser = Control(kIdBT);
  const LRESULT index = ::SendMessageW(chooser, CB_GETCURSEL, 0, 0);
  if (index >= 0) {
    const LRESULT length = ::SendMessageW(chooser, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    ::SendMessageW(chooser, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    if (!text.empty() && static_cast<std::size_t>(index) < mCOMArr.size()) {
      mDeviceName = text;
      mPortName = mCOMArr[static_cast<std::size_t>(index)];
    }
  }
  if (!mPortName.empty()) StartSerialWorker();
}

void FMain::ShowBtn(bool enable) {
  ::ShowWindow(Control(kIdSerch), enable ? SW_SHOW : SW_HIDE);
  ::ShowWindow(Control(kIdSarch), enable ? SW_HIDE : SW_SHOW);
  for (WORD id : {kIdBT, kIdOK, kIdPortNotSave, kIdLogClear}) ::EnableWindow(Control(id), enable);
  ::UpdateWindow(hwnd_);
}

void FMain::SetBTCMB(const std::wstring& name, const std::wstring& port) {
  HWND chooser = Control(kIdBT);
  const LRESULT index = ::SendMessageW(chooser, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  if (index < 0) return;
  const auto slot = static_cast<std::size_t>(index);
  if (slot < mDeviceArr.size()) {
    mDeviceArr[slot] = name;
    mCOMArr[slot] = port;
  }
  if (name == mDeviceName) ::SendMessageW(chooser, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void FMain::ClearDeviceArrays() {
  std::fill(mDeviceArr.begin(), mDeviceArr.end(), L"");
  std::fill(mCOMArr.begin(), mCOMArr.end(), L"");
}

}  // namespace tovira
