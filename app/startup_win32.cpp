// The main window's life: start-up (settings, log mode, target mode, block), the
// load that starts the link, the exit question and the orderly shutdown.

#include "app/profile_store_win32.h"
#include "app/switch_route.h"
#include "ui/main_window_win32.h"
#include "ui/ui_texts.h"
#include "ui/version_dialog_win32.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

constexpr std::size_t kDeviceSlots = 256;

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

}  // namespace

void FMain::Init() {
  profile_ = std::make_unique<Win32ProfileStore>(SettingsFile(PrepareSettingsFolder()));
  const LoadedSettings settings = LoadSettings(*profile_);
  mDeviceName = settings.deviceName;
  mPortName = settings.portName;
  ::SendMessageW(Control(kIdPortNotSave), BM_SETCHECK, settings.portNotSave ? BST_CHECKED : BST_UNCHECKED, 0);
  tray_->SetBalloonsSuppressed(settings.showNotBalloon);
  mLogMode = false;
  if (settings.logMode) {
    mLogMode = true;
    ::ShowWindow(Control(kIdLogClear), SW_SHOW);
    ::ShowWindow(Control(kIdLog), SW_SHOW);
    ResizeWindow();  // twice as tall
  }

  mFormName = std::wstring(FormNameOf(mode_));
  HWND window = hwnd_;
  feed_ = std::make_shared<StatusFeed>(
      [window] { return ::PostMessageW(window, kMsgStatusChanged, OwnMessageKey(), 0) != FALSE; },
      [] {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        return LocalTimeOfDay{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
      });
  feed_->SetLogging(mLogMode);
  // The relay's log lines come from the link's thread, in order with the link's own.
  relay_ = std::make_unique<TargetRelay>(mode_, relayPlatform_,
                                         [feed = feed_.get()](const std::wstring& line) { feed->Log(line); });
  relay_->InitSharedMem(SharedMemoryName(mode_));  // reports its own failure
  const std::wstring label(texts::kModeLabels[ModeNumber(mode_) - 1]);
  ::SetWindowTextW(Control(kIdName), label.c_str());
  FVersion::strName = label;
  LoadTrayIcons();
  LoadPictures();

  SerialLinkParts link;
  link.mode = mode_;
  link.opener = std::make_shared<Win32SerialPortOpener>();
  link.clock = std::make_shared<SteadyLinkClock>();
  link.events = std::make_shared<SwitchRoute>(*relay_, *feed_);
  link.appEnding = appEnding_;
  // A press must get through on a PC kept busy by the assistive software itself.
  link.onWorkerThread = [] { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); };
  serialLink_ = std::make_unique<SerialLink>(std::move(link));
}

void FMain::FMain_Load() {
  if (loaded_) return;
  loaded_ = true;
  ::ShowWindow(hwnd_, SW_HIDE);
  *appEnding_ = false;
  mDeviceArr.assign(kDeviceSlots, L"");
  mCOMArr.assign(kDeviceSlots, L"");
  if (mPortName.empty()) {
    StartSearch();  // the search starts the link once it finds the port
    return;
  }
  mDeviceArr[0] = mDeviceName;
  mCOMArr[0] = mPortName;
  HWND chooser = Control(kIdBT);
  ::SendMessageW(chooser, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mDeviceName.c_str()));
  ::SendMessageW(chooser, CB_SETCURSEL, 0, 0);  // a choice by the program runs no choice handler
  StartSerialWorker();
}

void FMain::StartSerialWorker() {
  serialLink_->Start(mPortName, mDeviceName);
}

void FMain::StopSerialWorker() {
  serialLink_->Stop();
}

void FMain::mnu_Exit_Click() {
  const std::wstring title = WindowText(hwnd_);
  const std::wstring text = title + std::wstring(texts::kExitQuestion);
  const std::wstring caption = title + std::wstring(texts::kExitCaptionSuffix);
  // Cancel is the default: Enter keeps the program running.
  if (::MessageBoxW(hwnd_, text.c_str(), caption.c_str(), MB_OKCANCEL | MB_ICONSTOP | MB_DEFBUTTON2) ==
      IDOK) {
    ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
}

void FMain::FMain_FormClosing() {
  if (closing_) return;  // the system's end of session may follow a close
  closing_ = true;
  *appEnding_ = true;
  OnStatusChanged();  // the link's lines so far come before the closing line
  PutLog(std::wstring(texts::kClosing));
  WaitForSearch();  // an enumeration under way runs to its end, 30 s at most
  StopSerialWorker();
  OnStatusChanged();
  SaveSettings(*profile_, {WindowText(Control(kIdBT)), mPortName,
                           ::SendMessageW(Control(kIdPortNotSave), BM_GETCHECK, 0, 0) == BST_CHECKED,
                           tray_->balloonsSuppressed()});
  relay_->EndSharedMem();
  PutLog(std::wstring(texts::kClosed));
}

}  // namespace tovira
