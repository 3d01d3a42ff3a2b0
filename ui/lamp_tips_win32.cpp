#include "ui/lamp_tips_win32.h"

#include <commctrl.h>

namespace tovira {
namespace {

TTTOOLINFOW ToolOf(HWND owner, HWND control) {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = owner;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  return tool;
}

}  // namespace

LampTips::LampTips(HWND owner, HINSTANCE instance)
    : owner_(owner),
      tips_(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance, nullptr)) {}

LampTips::~LampTips() {
  if (tips_ != nullptr && ::IsWindow(tips_)) ::DestroyWindow(tips_);
}

void LampTips::Set(HWND control, const std::wstring& text) {
  if (tips_ == nullptr || control == nullptr) return;
  TTTOOLINFOW tool = ToolOf(owner_, control);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());  // copied by the tooltip
  if (tools_.count(control) != 0) {
    ::SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    return;
  }
  // A static control lets the pointer through to its parent unless it notifies:
  // the tooltip watches the control's own mouse messages.
  ::SetWindowLongW(control, GWL_STYLE, ::GetWindowLongW(control, GWL_STYLE) | SS_NOTIFY);
  if (::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE)
    tools_.insert(control);
}

}  // namespace tovira
