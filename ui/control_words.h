#pragma once
// What the status window's pictures and lamps show, in words: for screen readers
// and for the tooltips of eyes that cannot tell the colours apart.

#include <string>
#include <string_view>

namespace tovira {

// "ボタン1 押されています" … : `number` 1 to 5.
std::wstring ButtonWords(int number, bool pressed);
// The connection lamp.
std::wstring ConnectionWords(bool connected);

// What the battery lamp shows: nothing is known of the battery without a link.
enum class BatteryShown { kNotConnected, kFine, kLow };
std::wstring BatteryWords(BatteryShown shown);

// "OPEN オン" / "OPEN オフ": a line lamp's label and its state.
std::wstring LineLampWords(std::wstring_view label, bool on);

}  // namespace tovira
