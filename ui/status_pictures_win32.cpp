#include "ui/status_pictures_win32.h"

#include "base/texts_ja.h"
#include "ui/accessible_name_win32.h"
#include "ui/control_ids.h"
#include "ui/control_words.h"
#include "ui/display_scale.h"

namespace tovira {
namespace {

UniqueBitmap LoadPicture(HINSTANCE instance, std::wstring_view base, int scale) {
  const std::wstring name = PictureName(base, scale);
  return UniqueBitmap(
      static_cast<HBITMAP>(::LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
}

}  // namespace

StatusPictures::StatusPictures(HWND window, HINSTANCE instance)
    : window_(window), instance_(instance), tips_(window, instance) {}

StatusPictures::~StatusPictures() {
  Free();
}

void StatusPictures::Load(UINT dpi) {
  Free();
  const int scale = PictureScaleFor(dpi);
  pressedPicture_ = LoadPicture(instance_, L"btn_on", scale);
  releasedPicture_ = LoadPicture(instance_, L"btn_off", scale);
  connectedPicture_ = LoadPicture(instance_, L"enable", scale);
  disconnectedPicture_ = LoadPicture(instance_, L"disable", scale);
  lowBatteryPicture_ = LoadPicture(instance_, L"low_bat", scale);
  decorationPicture_ = LoadPicture(instance_, L"decoration", scale);
  if (shownPictures_.empty()) {
    for (int i = 0; i < 5; ++i) SetPicture(static_cast<WORD>(kIdButton1 + i), &releasedPicture_);
    SetPicture(kIdConnectedLamp, &disconnectedPicture_);
    SetPicture(kIdBattery, &disconnectedPicture_);
    SetPicture(kIdDecoration, &decorationPicture_);
    return;
  }
  const auto shown = shownPictures_;  // the same pictures at the new size
  for (const auto& [id, slot] : shown) SetPicture(id, slot);
}

void StatusPictures::Free() {
  // The controls let go first, so that none paints a deleted bitmap.
  for (const auto& [id, slot] : shownPictures_) {
    ::SendMessageW(Control(id), STM_SETIMAGE, IMAGE_BITMAP, 0);
  }
  for (UniqueBitmap* picture : {&pressedPicture_, &releasedPicture_, &connectedPicture_,
                                &disconnectedPicture_, &lowBatteryPicture_, &decorationPicture_}) {
    picture->reset();
  }
}

void StatusPictures::SetPicture(WORD id, UniqueBitmap* slot) {
  shownPictures_[id] = slot;
  HWND picture = Control(id);
  // Handing a static control the bitmap it already holds changes nothing on the
  // screen but costs a resize and an invalidation (about 0.3 ms under Wine, six
  // times a frame); the frame's repaints still follow.
  const auto wanted = reinterpret_cast<LPARAM>(slot->get());
  if (!wordsHeld_) SayPicture(id, slot);  // said only when they change: no repeated announcement
  if (::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0) == wanted) return;
  ::SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, wanted);
}

void StatusPictures::ShowSwitchState(SwitchState state) {
  const SwitchState::Buttons buttons = state.buttons();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    // Each picture is repainted before the next is set.
    const WORD id = static_cast<WORD>(kIdButton1 + i);
    SetPicture(id, buttons.test(i) ? &pressedPicture_ : &releasedPicture_);
    HWND picture = Control(id);
    ::InvalidateRect(picture, nullptr, TRUE);
    ::UpdateWindow(picture);
  }
  SetPicture(kIdBattery, state.batteryLow() ? &lowBatteryPicture_ : &connectedPicture_);
}

void StatusPictures::ShowConnected(bool connected) {
  // Without a link no button is known to be held. The pictures pass through the
  // link's last state on the way: only where they end is said.
  wordsHeld_ = true;
  if (!connected) ShowSwitchState(SwitchState());
  SetPicture(kIdConnectedLamp, connected ? &connectedPicture_ : &disconnectedPicture_);
  SetPicture(kIdBattery, connected ? &connectedPicture_ : &disconnectedPicture_);
  wordsHeld_ = false;
  for (const auto& [id, slot] : shownPictures_) SayPicture(id, slot);
}

void StatusPictures::ShowLineStates(const LineLamps& lines) {
  const bool states[6] = {lines.open, lines.cd, lines.dsr, lines.dtr, lines.rts, lines.cts};
  for (std::size_t i = 0; i < 6; ++i) lampState_[i] = states[i] ? 1 : 0;
  ::SetWindowTextW(Control(kIdPortName), lines.open ? portLabel_.c_str() : L"");
  SayLineStates();
  ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

std::optional<bool> StatusPictures::LampLit(int lamp) const {
  if (lamp < 0 || lamp >= static_cast<int>(lampState_.size())) return std::nullopt;
  const int state = lampState_[static_cast<std::size_t>(lamp)];
  if (state < 0) return std::nullopt;
  return state != 0;
}

void StatusPictures::Say(WORD id, const std::wstring& words) {
  std::wstring& said = saidWords_[id];
  if (said == words) return;
  said = words;
  HWND control = Control(id);
  SetAccessibleName(control, words);
  tips_.Set(control, words);
}

void StatusPictures::SayPicture(WORD id, const UniqueBitmap* shown) {
  if (id >= kIdButton1 && id < kIdButton1 + 5) {
    Say(id, ButtonWords(id - kIdButton1 + 1, shown == &pressedPicture_));
  } else if (id == kIdConnectedLamp) {
    Say(id, ConnectionWords(shown == &connectedPicture_));
  } else if (id == kIdBattery) {
    const BatteryShown battery = shown == &lowBatteryPicture_  ? BatteryShown::kLow
                                 : shown == &connectedPicture_ ? BatteryShown::kFine
                                                               : BatteryShown::kNotConnected;
    Say(id, BatteryWords(battery));
  }
}

void StatusPictures::SayLineStates() {
  for (std::size_t i = 0; i < lampState_.size(); ++i) {
    if (lampState_[i] < 0) continue;  // not yet known: the lamp's label alone
    Say(static_cast<WORD>(kIdFirstLineLamp + i),
        LineLampWords(texts::kLineLampLabels[i], lampState_[i] != 0));
  }
}

}  // namespace tovira
