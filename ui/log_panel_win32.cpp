#include "ui/log_panel_win32.h"

#include <cwchar>

#include "base/log_format.h"
#include "ui/control_ids.h"

namespace tovira {
namespace {

// The panel keeps the newest lines: an edit control's every change costs more as
// its text grows, and the log must never slow down the frames it describes.
void DropOldestLogLines(HWND log) {
  const int length = ::GetWindowTextLengthW(log);
  if (length <= static_cast<int>(kLogPanelLimit)) return;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(log, text.data(), length + 1)));
  const std::size_t cut = LogLinesToDrop(text, kLogPanelKeep);
  if (cut == 0) return;
  ::SendMessageW(log, EM_SETSEL, 0, static_cast<LPARAM>(cut));
  ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

// "2026-12-10": the date before each line of the support log.
std::wstring DateText(const SYSTEMTIME& now) {
  wchar_t text[16] = {};
  ::swprintf(text, 16, L"%04u-%02u-%02u", static_cast<unsigned>(now.wYear), static_cast<unsigned>(now.wMonth),
             static_cast<unsigned>(now.wDay));
  return text;
}

LocalTimeOfDay TimeOfDay(const SYSTEMTIME& now) {
  return {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace

HWND LogPanel::Panel() const {
  return ::GetDlgItem(window_, kIdLogPanel);
}

void LogPanel::Show() {
  shown_ = true;
  ::ShowWindow(::GetDlgItem(window_, kIdClearLog), SW_SHOW);
  ::ShowWindow(Panel(), SW_SHOW);
}

void LogPanel::StartSupportLog(std::unique_ptr<SupportLog> log) {
  supportLog_ = std::move(log);
}

void LogPanel::AddLine(const std::wstring& text) {
  if (!shown_ && !supportLog_) return;
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  Write(FormatLogLine(TimeOfDay(now), text));
}

void LogPanel::Write(const std::wstring& lines) {
  std::wstring shown = lines;
  if (supportLog_) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    // The support log's own word (its file cannot be renamed) shows in the panel too.
    shown += supportLog_->Write(DateText(now), TimeOfDay(now), lines);
  }
  if (shown_) Append(shown);
}

void LogPanel::Append(const std::wstring& lines) {
  pending_ += lines;
  if (pending_.size() > kLogPanelLimit) pending_.erase(0, LogLinesToDrop(pending_, kLogPanelKeep));
  // Line by line, a burst of frames would keep the window busy for seconds.
  if (!flushPending_) flushPending_ = ::SetTimer(window_, kFlushTimer, kFlushMs, nullptr) != 0;
  if (!flushPending_) Flush();  // no timer to be had: straight in
}

void LogPanel::Flush() {
  if (flushPending_) ::KillTimer(window_, kFlushTimer);
  flushPending_ = false;
  if (pending_.empty()) return;
  HWND log = Panel();
  // Appending scrolls the panel to its end and the caret back to its start: with
  // drawing held, that is one repaint rather than two scrolls.
  ::SendMessageW(log, WM_SETREDRAW, FALSE, 0);
  const LRESULT end = ::GetWindowTextLengthW(log);
  ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), end);
  ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pending_.c_str()));
  DropOldestLogLines(log);
  ::SendMessageW(log, EM_SETSEL, 0, 0);
  ::SendMessageW(log, WM_SETREDRAW, TRUE, 0);
  ::RedrawWindow(log, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  pending_.clear();
}

void LogPanel::Clear() {
  pending_.clear();
  ::SetWindowTextW(Panel(), L"");
}

}  // namespace tovira
