#include "ui/tray_icon_win32.h"

#include <shellapi.h>

#include "ui/ui_texts.h"
#include "ui/window_messages_win32.h"

namespace tovira {
namespace {

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
  return data;
}

}  // namespace

void TrayBalloons::Show(const std::wstring& text) const {
  HWND owner = owner_.load();
  if (suppressed_.load() || owner == nullptr) return;
  NOTIFYICONDATAW data = IconData(owner, NIF_INFO);
  data.dwInfoFlags = NIIF_INFO;
  data.uTimeout = 10000;
  CopyText(data.szInfoTitle, texts::kWindowTitle);
  CopyText(data.szInfo, text);
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

NOTIFYICONDATAW TrayIcon::Data(UINT flags) const {
  NOTIFYICONDATAW data = IconData(owner_, flags);
  data.uCallbackMessage = kMsgTrayIcon;
  data.hIcon = icon_;
  CopyText(data.szTip, tip_);
  return data;
}

void TrayIcon::Add(HWND owner, HICON icon, const std::wstring& tip) {
  owner_ = owner;
  icon_ = icon;
  tip_ = tip;
  balloons_->Attach(owner);
  AddAgain();
}

void TrayIcon::AddAgain() {
  if (owner_ == nullptr) return;
  NOTIFYICONDATAW data = Data(NIF_ICON | NIF_TIP | NIF_MESSAGE);
  added_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
  if (added_) {
    data.uVersion = NOTIFYICON_VERSION_4;
    ::Shell_NotifyIconW(NIM_SETVERSION, &data);
  }
}

void TrayIcon::SetIcon(HICON icon) {
  icon_ = icon;
  NOTIFYICONDATAW data = Data(NIF_ICON);
  if (added_) ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::SetTip(const std::wstring& tip) {
  tip_ = tip;
  NOTIFYICONDATAW data = Data(NIF_TIP);
  if (added_) ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::Remove() {
  balloons_->Detach();
  if (!added_) return;
  NOTIFYICONDATAW data = Data(0);
  ::Shell_NotifyIconW(NIM_DELETE, &data);
  added_ = false;
}

}  // namespace tovira
