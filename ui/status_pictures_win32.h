#pragma once
// The status window's pictures and lamps: the five buttons, the connection and
// battery pictures at the window's scaling, and the six line lamps. Each says
// its state in words (its accessible name and its tooltip), and only a change is
// said: frames repeat the same pictures many times a second.

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/switch_state.h"
#include "ui/status_feed.h"
#include "base/scoped_handle_win32.h"
#include "ui/lamp_tips_win32.h"

namespace tovira {

class StatusPictures final {
 public:
  // The pictures are the controls of `window`; their tooltips are made here.
  // COM must be on this thread already: the accessible names go through it.
  StatusPictures(HWND window, HINSTANCE instance);
  ~StatusPictures();
  StatusPictures(const StatusPictures&) = delete;
  StatusPictures& operator=(const StatusPictures&) = delete;

  // The pictures drawn for the scaling nearest `dpi` ("btn_on", "btn_on_150" …):
  // at first all released and not connected, later the same pictures as before.
  void Load(UINT dpi);

  void ShowSwitchState(SwitchState state);
  void ShowConnected(bool connected);
  // The port whose name shows while it is open.
  void SetPortLabel(const std::wstring& port) { portLabel_ = port; }
  void ShowLineStates(const LineLamps& lines);
  // Whether line lamp `lamp` (0: OPEN … 5: CTS) is lit; nothing before the first report.
  std::optional<bool> LampLit(int lamp) const;

 private:
  HWND Control(WORD id) const { return ::GetDlgItem(window_, id); }
  // Shows the picture held in `slot` and remembers the slot, so that a change of
  // scaling can show the same picture at the new size.
  void SetPicture(WORD id, UniqueBitmap* slot);
  void Free();
  void Say(WORD id, const std::wstring& words);  // the control's accessible name and tooltip
  void SayPicture(WORD id, const UniqueBitmap* shown);
  void SayLineStates();

  HWND window_;
  HINSTANCE instance_;
  LampTips tips_;
  std::wstring portLabel_;
  // Line-state lamps: unpainted until the first update, then on or off.
  std::array<int, 6> lampState_{-1, -1, -1, -1, -1, -1};
  std::map<WORD, std::wstring> saidWords_;  // what each picture and lamp says now
  bool wordsHeld_ = false;                  // while pictures pass through states not to be said

  std::map<WORD, UniqueBitmap*> shownPictures_;
  UniqueBitmap pressedPicture_;
  UniqueBitmap releasedPicture_;
  UniqueBitmap connectedPicture_;
  UniqueBitmap disconnectedPicture_;
  UniqueBitmap lowBatteryPicture_;
  UniqueBitmap decorationPicture_;
};

}  // namespace tovira
