#pragma once
// The notification-area icon. Its owner is a hidden top-level window (a
// message-only window would miss the "TaskbarCreated" broadcast). Every call to
// the shell runs on a thread of its own: a busy or hung Explorer may not answer
// for seconds, or at all, and neither the window nor the switch may wait for it.
// Every member is safe from any thread.

#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "ui/balloon_kind.h"

namespace tovira {

inline constexpr UINT kTrayIconId = 1;

class TrayIcon {
 public:
  // The shell's Shell_NotifyIconW, or a test's stand-in.
  using Notify = std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)>;
  // An add that fails is tried again every `retryPeriod` until it works.
  explicit TrayIcon(Notify notify = &::Shell_NotifyIconW,
                    std::chrono::milliseconds retryPeriod = std::chrono::milliseconds(2000));
  // Deletes the icon; waits for the shell at most a second, then leaves it.
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  void Add(HWND owner, HICON icon, const std::wstring& tip);
  // After Explorer restarts: the icon comes back as it was.
  void AddAgain();
  void SetIcon(HICON icon);
  void SetTip(const std::wstring& tip);
  // A 10-second balloon titled "トヴィラ", with the information or the warning
  // icon; nothing while suppressed.
  void ShowBalloon(const std::wstring& text, BalloonKind kind = BalloonKind::kInformation);
  void SetBalloonsSuppressed(bool suppressed);
  bool balloonsSuppressed() const;
  // Deletes the icon and ends the shell's thread, waiting for it at most a second.
  void Remove();

 private:
  struct Shell;
  std::shared_ptr<Shell> shell_;  // shared with its thread, which may outlive this
};

}  // namespace tovira
