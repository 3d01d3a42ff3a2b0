#pragma once
// The notification-area icon ntf_Main. Its owner is a hidden top-level window (a
// message-only window would miss the "TaskbarCreated" broadcast).

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <memory>
#include <string>

namespace tovira {

// What a balloon needs, shared with the workers: safe from any thread.
class TrayBalloons {
 public:
  void Attach(HWND owner) { owner_ = owner; }
  void Detach() { owner_ = nullptr; }
  void SetSuppressed(bool suppressed) { suppressed_ = suppressed; }
  bool suppressed() const { return suppressed_; }
  // A 10-second information balloon titled "トヴィラ"; nothing while suppressed.
  // Failures are dropped.
  void Show(const std::wstring& text) const;

 private:
  std::atomic<HWND> owner_{nullptr};
  std::atomic<bool> suppressed_{false};
};

class TrayIcon {
 public:
  explicit TrayIcon(std::shared_ptr<TrayBalloons> balloons) : balloons_(std::move(balloons)) {}
  ~TrayIcon() { Remove(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  void Add(HWND owner, HICON icon, const std::wstring& tip);
  // After Explorer restarts, or when the first add failed while it was not ready.
  void AddAgain();
  void SetIcon(HICON icon);
  void SetTip(const std::wstring& tip);
  void Remove();

 private:
  NOTIFYICONDATAW Data(UINT flags) const;

  std::shared_ptr<TrayBalloons> balloons_;
  HWND owner_ = nullptr;
  HICON icon_ = nullptr;
  std::wstring tip_;
  bool added_ = false;
};

inline constexpr UINT kTrayIconId = 1;

}  // namespace tovira
