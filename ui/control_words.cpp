#include "ui/control_words.h"

#include "base/texts_ja.h"

namespace tovira {

std::wstring ButtonWords(int number, bool pressed) {
  std::wstring words(texts::kButtonWord);
  words += std::to_wstring(number) + L" ";
  words += pressed ? texts::kButtonPressed : texts::kButtonReleased;
  return words;
}

std::wstring ConnectionWords(bool connected) {
  return std::wstring(connected ? texts::kConnectedWord : texts::kNotConnectedWord);
}

std::wstring BatteryWords(BatteryShown shown) {
  switch (shown) {
    case BatteryShown::kLow:
      return std::wstring(texts::kBatteryLow);
    case BatteryShown::kFine:
      return std::wstring(texts::kBatteryFine);
    case BatteryShown::kNotConnected:
      break;
  }
  return std::wstring(texts::kNotConnectedWord);
}

std::wstring LineLampWords(std::wstring_view label, bool on) {
  std::wstring words(label);
  words += L" ";
  words += on ? texts::kLampOn : texts::kLampOff;
  return words;
}

}  // namespace tovira
