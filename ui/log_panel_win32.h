#pragma once
// The status window's log panel and the support log beside it. Lines are
// stamped with the time they came and gathered: under load a visible edit
// control takes some 25 ms per change, so the gathered lines go in together, at
// most a tenth of a second after they arrived. The support log is written here,
// on the window's thread, never on the link's.

#include <windows.h>

#include <memory>
#include <string>

#include "ui/support_log.h"

namespace tovira {

class LogPanel final {
 public:
  // The panel is the log control of `window`, whose timer brings the gathered lines in.
  explicit LogPanel(HWND window) : window_(window) {}
  LogPanel(const LogPanel&) = delete;
  LogPanel& operator=(const LogPanel&) = delete;

  // The panel and its clear button appear; until then lines go to the support log only.
  void Show();
  bool shown() const { return shown_; }
  // The log's lines go to `log` too, whether or not the panel is shown.
  void StartSupportLog(std::unique_ptr<SupportLog> log);

  // A line stamped with the time now (nothing while neither the panel nor the
  // support log is on).
  void AddLine(const std::wstring& text);
  // Lines that already carry their time.
  void Write(const std::wstring& lines);
  // The gathered lines into the panel now.
  void Flush();
  // The window's timer `timer` went off: true when it was the panel's.
  bool IsFlushTimer(UINT_PTR timer) const { return timer == kFlushTimer; }
  void Clear();

 private:
  HWND Panel() const;
  void Append(const std::wstring& lines);

  static constexpr UINT_PTR kFlushTimer = 1;
  static constexpr UINT kFlushMs = 100;

  HWND window_;
  bool shown_ = false;
  std::unique_ptr<SupportLog> supportLog_;
  std::wstring pending_;  // lines not yet in the panel
  bool flushPending_ = false;
};

}  // namespace tovira
