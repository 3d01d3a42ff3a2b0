// The program's life: start-up (settings, log mode, target mode, block), the
// load that starts the link or the search, the user's choices, and the orderly
// shutdown.

#include "app/switch_app_win32.h"

#include <thread>

#include "app/switch_route.h"
#include "base/texts_ja.h"
#include "bluetooth/device_search.h"
#include "link/serial_port_win32.h"
#include "ui/hand_off_win32.h"
#include "ui/support_log_win32.h"
#include "ui/tray_icon_win32.h"

namespace tovira {
namespace {

constexpr int kSearchPolls = 300;
constexpr std::chrono::milliseconds kSearchPoll{100};

}  // namespace

// Every call but the balloon is handed to the window thread, where the program
// (and so `app_`) exists while the call runs.
class SwitchApp::WindowSearchHost final : public SearchHost {
 public:
  WindowSearchHost(SwitchApp& app, std::shared_ptr<WindowHandOff> handOff, std::shared_ptr<TrayIcon> tray)
      : app_(app), handOff_(std::move(handOff)), tray_(std::move(tray)) {}

  void ShowBalloon(const std::wstring& text) override { tray_->ShowBalloon(text); }
  void ShowSearching(bool searching) override {
    handOff_->Invoke([this, searching] { app_.ShowSearching(searching); });
  }
  void StopLink() override {
    handOff_->Invoke([this] { app_.StopLink(); });
  }
  void ClearDevices() override {
    handOff_->Invoke([this] { app_.ClearDevices(); });
  }
  void AddDevice(const DeviceWithPort& device, bool selected) override {
    handOff_->Invoke([this, &device, selected] { app_.AddDevice(device, selected); });
  }
  void SetPortName(const std::wstring& port) override {
    handOff_->Invoke([this, &port] { app_.SetPortName(port); });
  }
  void StartLink() override {
    handOff_->Invoke([this] { app_.StartLink(); });
  }

 private:
  SwitchApp& app_;
  std::shared_ptr<WindowHandOff> handOff_;
  std::shared_ptr<TrayIcon> tray_;  // shared: a search left running may outlive the window
};

SwitchApp::SwitchApp(TargetMode mode, SearchSources sources, std::chrono::milliseconds movedPortPatience)
    : mode_(mode),
      searchSources_(std::move(sources)),
      movedPortPatience_(movedPortPatience),
      appEnding_(std::make_shared<std::atomic<bool>>(false)) {}

std::unique_ptr<SwitchApp> SwitchApp::Create(HINSTANCE instance, TargetMode mode, SearchSources sources,
                                             std::chrono::milliseconds movedPortPatience) {
  std::unique_ptr<SwitchApp> app(new SwitchApp(mode, std::move(sources), movedPortPatience));
  app->window_ = StatusWindow::Create(instance, *app);
  if (!app->window_) return nullptr;
  app->Init();
  app->window_->Start();
  return app;
}

SwitchApp::~SwitchApp() {
  window_.reset();  // a search's hand-offs fail from here on
  link_.reset();    // a worker still blocked is cut off and left to end by itself
}

void SwitchApp::Init() {
  profile_ = std::make_unique<Win32ProfileStore>(SettingsFile(PrepareSettingsFolder()));
  const LoadedSettings settings = LoadSettings(*profile_);
  deviceName_ = settings.deviceName;
  deviceAddress_ = settings.deviceAddress;
  // A name no port can have is no port: the load searches, as at a first start.
  SetPortName(IsAcceptablePortName(settings.portName) ? settings.portName : std::wstring());
  window_->SetPortNotSave(settings.portNotSave);
  window_->tray()->SetBalloonsSuppressed(settings.showNotBalloon);
  if (settings.logMode) window_->ShowLogPanel();
  if (settings.logFile) {
    window_->StartSupportLog(std::make_unique<SupportLog>(std::make_unique<Win32SupportLogFiles>(),
                                                          SupportLogFile(PrepareSupportLogFolder())));
  }

  // The relay's log lines come from the link's thread, in order with the link's own.
  relay_ = std::make_unique<TargetRelay>(
      mode_, relayPlatform_, [feed = window_->feed()](const std::wstring& line) { feed->Log(line); },
      [feed = window_->feed()] { return feed->Logging(); });
  window_->SetModeLabel(std::wstring(texts::kModeLabels[ModeNumber(mode_) - 1]));

  SerialLinkParts link;
  link.mode = mode_;
  link.opener = std::make_shared<Win32SerialPortOpener>();
  link.clock = std::make_shared<SteadyLinkClock>();
  movedPortWatch_ = std::make_shared<MovedPortWatch>(
      movedPortPatience_, [] { return std::chrono::steady_clock::now(); },
      [this] { StartMovedPortLookUp(); });
  link.events = std::make_shared<SwitchRoute>(*relay_, *window_->feed(), *movedPortWatch_);
  link.appEnding = appEnding_;
  // A press must get through on a PC kept busy by the assistive software itself.
  link.onWorkerThread = [] { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); };
  link_ = std::make_unique<SerialLink>(std::move(link));

  // Last: its error box runs a message loop, and what the window's handlers use
  // must exist by then.
  relay_->CreateBlock(BlockName(mode_));  // reports its own failure
}

void SwitchApp::OnLoad() {
  *appEnding_ = false;
  devices_.clear();
  if (portName_.empty()) {
    StartSearch();  // the search starts the link once it finds the port
    return;
  }
  devices_.push_back({deviceName_, deviceAddress_, portName_});
  window_->AddToDeviceList(deviceName_, true);
  StartLink();
}

void SwitchApp::ShowSearching(bool searching) {
  if (searching) window_->EndDeviceChoice();
  window_->ShowSearching(searching);
  // Nothing of the stored name found among the devices listed (a first start
  // with another switch, say): the carer must pick, and a hidden window would
  // not say so. An empty list has nothing to pick: the refresh button stays.
  if (!searching && portName_.empty() && !devices_.empty()) window_->AskForDeviceChoice();
}

void SwitchApp::AddDevice(const DeviceWithPort& device, bool selected) {
  const int index = window_->AddToDeviceList(device.name, selected);
  if (index < 0) return;
  if (selected) deviceAddress_ = device.address;
  const auto place = static_cast<std::size_t>(index);
  if (devices_.size() <= place) devices_.resize(place + 1);
  devices_[place] = device;
}

void SwitchApp::SetPortName(const std::wstring& port) {
  portName_ = port;
  window_->SetPortLabel(port);
}

void SwitchApp::StartLink() {
  link_->Start(portName_, deviceName_);
}

void SwitchApp::StopLink() {
  link_->Stop();
}

void SwitchApp::OnResumed() {
  // A handle from before the sleep may keep failing without saying so: open anew.
  if (!link_->Running()) return;
  StopLink();
  StartLink();
}

void SwitchApp::OnDeviceArrived() {
  link_->Nudge();
}

void SwitchApp::StartMovedPortLookUp() {
  // Runs on the link's thread: everything else on the look-up's own. What the
  // program holds is read and changed on the window thread, through hand-offs
  // that fail once the window is gone.
  std::thread([this, handOff = window_->handOff(), sources = searchSources_, watch = movedPortWatch_] {
    try {
      SavedDevice device;
      std::wstring port;
      const bool read = handOff->Invoke([&] {
        device = {deviceName_, deviceAddress_};
        port = portName_;
      });
      if (read && !device.name.empty() && sources.pairedDevices && sources.ports) {
        const std::optional<std::wstring> found =
            FindDevicePort(device, *sources.pairedDevices(), *sources.ports());
        if (found && *found != port) handOff->Invoke([&] { MoveLink(port, *found); });
      }
    } catch (...) {
      // Nothing crosses the thread's entry; the link goes on trying its port.
    }
    watch->LookUpEnded();
  }).detach();
}

void SwitchApp::MoveLink(const std::wstring& oldPort, const std::wstring& newPort) {
  if (*appEnding_ || portName_ != oldPort || search_.Running() || !link_->Running()) return;
  window_->AddLogLine(std::wstring(texts::kPortMovedLog) + oldPort + texts::kPortMovedArrow + newPort);
  window_->tray()->ShowBalloon(deviceName_ + std::wstring(texts::kPortMoved) + newPort +
                               std::wstring(texts::kPortMovedEnd));
  for (DeviceWithPort& listed : devices_) {
    if (listed.name == deviceName_ && listed.port == oldPort) listed.port = newPort;
  }
  StopLink();
  SetPortName(newPort);  // kept at exit as a choice of the user's would be
  StartLink();
}

void SwitchApp::OnRefreshChosen() {
  if (search_.Running()) return;
  window_->ClearDeviceList();
  StartSearch();
}

void SwitchApp::OnDeviceChosen(int index, const std::wstring& name) {
  window_->EndDeviceChoice();
  StopLink();
  if (index >= 0 && !name.empty() && static_cast<std::size_t>(index) < devices_.size()) {
    const DeviceWithPort& chosen = devices_[static_cast<std::size_t>(index)];
    deviceName_ = name;
    deviceAddress_ = chosen.address;
    SetPortName(chosen.port);
  }
  if (!portName_.empty()) StartLink();
}

void SwitchApp::StartSearch() {
  auto host = std::make_shared<WindowSearchHost>(*this, window_->handOff(), window_->tray());
  search_.Start(std::move(host), searchSources_, {deviceName_, deviceAddress_}, portName_, appEnding_);
}

void SwitchApp::WaitForSearch() {
  SentMessageServer server;
  for (int poll = 0; poll < kSearchPolls && search_.Running(); ++poll) {
    const ULONGLONG until = ::GetTickCount64() + static_cast<ULONGLONG>(kSearchPoll.count());
    for (ULONGLONG now = ::GetTickCount64(); now < until && search_.Running(); now = ::GetTickCount64()) {
      server.ServeFor(std::chrono::milliseconds(until - now));
    }
  }
}

void SwitchApp::OnClosing(bool sessionEnds) {
  // Saved as the user saw them when the end began: the waits below serve other
  // messages, and nothing they do may change what is kept.
  const SettingsAtExit atExit{window_->DeviceListText(), portName_, window_->PortNotSave(),
                              window_->tray()->balloonsSuppressed(), deviceAddress_};
  *appEnding_ = true;
  window_->ApplyStatusNews();  // the link's lines so far come before the closing line
  window_->AddLogLine(std::wstring(texts::kClosing));
  // The system may end the process long before the waits below are over.
  if (sessionEnds) SaveAndRelease(atExit);
  WaitForSearch();  // an enumeration under way runs to its end, 30 s at most
  StopLink();
  window_->ApplyStatusNews();
  if (!sessionEnds) SaveAndRelease(atExit);
  window_->AddLogLine(std::wstring(texts::kClosed));
}

void SwitchApp::SaveAndRelease(const SettingsAtExit& atExit) {
  SaveSettings(*profile_, atExit);
  relay_->ReleaseBlock();  // safe while the link still relays
}

}  // namespace tovira
