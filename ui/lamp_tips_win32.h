#pragma once
// Tooltips that give the window's pictures and lamps their state in words on
// hover: a colour or a picture is never the only sign.

#include <windows.h>

#include <set>
#include <string>

namespace tovira {

class LampTips final {
 public:
  // The tooltip window belongs to `owner` (destroyed with it, or by this object).
  LampTips(HWND owner, HINSTANCE instance);
  ~LampTips();
  LampTips(const LampTips&) = delete;
  LampTips& operator=(const LampTips&) = delete;

  // The tip over `control` says `text` from now on.
  void Set(HWND control, const std::wstring& text);

 private:
  HWND owner_;
  HWND tips_ = nullptr;
  std::set<HWND> tools_;
};

}  // namespace tovira
