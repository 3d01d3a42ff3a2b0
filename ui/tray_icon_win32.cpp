#include "ui/tray_icon_win32.h"

#include <shellapi.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "base/texts_ja.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

constexpr std::size_t kBalloonLimit = 16;
constexpr std::chrono::milliseconds kExitWait{1000};
// Under NOTIFYICON_VERSION_4 the shell shows the standard tooltip only when asked.
constexpr UINT kTipFlags = NIF_TIP | NIF_SHOWTIP;

template <std::size_t N>
void CopyText(wchar_t (&target)[N], std::wstring_view text) {
  const std::size_t length = std::min(text.size(), N - 1);
  text.copy(target, length);
  target[length] = L'\0';
}

NOTIFYICONDATAW IconData(HWND owner, UINT flags) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = kTrayIconId;
  data.uFlags = flags;
  data.uCallbackMessage = kMsgTrayIcon;
  return data;
}

}  // namespace

// What the shell is to be told, noted by any thread and told by the shell's own.
struct TrayIcon::Shell {
  Shell(Notify notifyCall, std::chrono::milliseconds retry)
      : notify(std::move(notifyCall)), retryPeriod(retry) {}

  const Notify notify;
  const std::chrono::milliseconds retryPeriod;
  std::mutex mutex;
  std::condition_variable work;
  std::condition_variable finished;
  HWND owner = nullptr;
  HICON icon = nullptr;
  std::wstring tip;
  bool add = false;
  bool iconChanged = false;
  bool tipChanged = false;
  std::deque<std::pair<std::wstring, BalloonKind>> balloons;
  bool remove = false;
  bool done = false;
  bool suppressed = false;
  std::thread thread;

  void Ask(const std::function<void()>& change) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (remove) return;
      change();
    }
    work.notify_one();
  }

  static void Serve(const std::shared_ptr<Shell>& shell) {
    try {
      shell->Loop();
    } catch (...) {
      // Nothing crosses the thread's entry; the icon simply stays as it was.
    }
    std::lock_guard<std::mutex> lock(shell->mutex);
    shell->done = true;
    shell->finished.notify_all();
  }

  void Loop() {
    bool added = false;
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex);
      const auto asked = [this] { return add || iconChanged || tipChanged || !balloons.empty() || remove; };
      if (added || owner == nullptr) {
        work.wait(lock, asked);
      } else if (!work.wait_for(lock, retryPeriod, asked)) {
        add = true;  // the shell was not ready (at logon, say): try again
      }
      const HWND window = owner;
      NOTIFYICONDATAW state = IconData(window, 0);
      state.hIcon = icon;
      CopyText(state.szTip, tip);
      const bool doAdd = std::exchange(add, false);
      UINT modify = (std::exchange(iconChanged, false) ? NIF_ICON : 0) |
                    (std::exchange(tipChanged, false) ? kTipFlags : 0);
      std::deque<std::pair<std::wstring, BalloonKind>> toShow = std::exchange(balloons, {});
      const bool doRemove = remove;
      lock.unlock();

      if (doAdd && window != nullptr) {
        state.uFlags = NIF_ICON | NIF_MESSAGE | kTipFlags;
        added = notify(NIM_ADD, &state) != FALSE;
        // An add can fail because the icon is there already (a stray
        // "TaskbarCreated"): then a modify that works means it is present.
        if (!added) added = notify(NIM_MODIFY, &state) != FALSE;
        if (added) {
          state.uVersion = NOTIFYICON_VERSION_4;
          notify(NIM_SETVERSION, &state);
        }
        modify = 0;  // the add carried the icon and the tip; a later add carries them too
      }
      if (added && modify != 0) {
        state.uFlags = modify;
        notify(NIM_MODIFY, &state);
      }
      for (const auto& [text, kind] : toShow) {
        NOTIFYICONDATAW balloon = IconData(window, NIF_INFO);
        balloon.dwInfoFlags = kind == BalloonKind::kWarning ? NIIF_WARNING : NIIF_INFO;
        balloon.uTimeout = 10000;
        CopyText(balloon.szInfoTitle, texts::kWindowTitle);
        CopyText(balloon.szInfo, text);
        if (added) notify(NIM_MODIFY, &balloon);  // failures are dropped
      }
      if (doRemove) {
        // Always: an add the shell reported as failed may have placed the icon all the same.
        if (window != nullptr) {
          NOTIFYICONDATAW gone = IconData(window, 0);
          notify(NIM_DELETE, &gone);
        }
        return;
      }
    }
  }
};

TrayIcon::TrayIcon(Notify notify, std::chrono::milliseconds retryPeriod)
    : shell_(std::make_shared<Shell>(std::move(notify), retryPeriod)) {
  shell_->thread = std::thread(&Shell::Serve, shell_);
}

TrayIcon::~TrayIcon() {
  Remove();
  std::unique_lock<std::mutex> lock(shell_->mutex);
  const bool done = shell_->done;
  lock.unlock();
  // A shell that never answered keeps its thread; the process's end takes it.
  if (done) {
    shell_->thread.join();
  } else {
    shell_->thread.detach();
  }
}

void TrayIcon::Add(HWND owner, HICON icon, const std::wstring& tip) {
  shell_->Ask([&] {
    shell_->owner = owner;
    shell_->icon = icon;
    shell_->tip = tip;
    shell_->add = true;
  });
}

void TrayIcon::AddAgain() {
  shell_->Ask([&] { shell_->add = shell_->owner != nullptr; });
}

void TrayIcon::SetIcon(HICON icon) {
  shell_->Ask([&] {
    shell_->icon = icon;
    shell_->iconChanged = true;
  });
}

void TrayIcon::SetTip(const std::wstring& tip) {
  shell_->Ask([&] {
    shell_->tip = tip;
    shell_->tipChanged = true;
  });
}

void TrayIcon::ShowBalloon(const std::wstring& text, BalloonKind kind) {
  shell_->Ask([&] {
    if (shell_->suppressed || shell_->owner == nullptr) return;
    // A shell that does not answer must not make the balloons pile up.
    if (shell_->balloons.size() >= kBalloonLimit) shell_->balloons.pop_front();
    shell_->balloons.emplace_back(text, kind);
  });
}

void TrayIcon::SetBalloonsSuppressed(bool suppressed) {
  std::lock_guard<std::mutex> lock(shell_->mutex);
  shell_->suppressed = suppressed;
}

bool TrayIcon::balloonsSuppressed() const {
  std::lock_guard<std::mutex> lock(shell_->mutex);
  return shell_->suppressed;
}

void TrayIcon::Remove() {
  shell_->Ask([&] { shell_->remove = true; });
  std::unique_lock<std::mutex> lock(shell_->mutex);
  shell_->finished.wait_for(lock, kExitWait, [this] { return shell_->done; });
}

}  // namespace tovira
