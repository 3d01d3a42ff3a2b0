#pragma once
// The status window's colours. With the system's high contrast on, everything is
// drawn in the user's system colours, and a lit lamp differs from a dark one in
// the scheme's own contrast (highlight against window), not in a hue of ours.

#include <cstdint>

namespace tovira {

// The system colours the window may use (the platform maps them).
enum class SystemColour { kNone, kWindow, kWindowText, kHighlight, kHighlightText };

// A system colour, or `rgb` (0x00BBGGRR) when `system` is kNone.
struct Colour {
  SystemColour system = SystemColour::kNone;
  std::uint32_t rgb = 0;
  bool operator==(const Colour& other) const { return system == other.system && rgb == other.rgb; }
};

// What the window paints.
enum class WindowPart { kFrame, kFrameText, kTitleText, kLampOn, kLampOnText, kLampOff, kLampOffText };

Colour ColourOf(WindowPart part, bool highContrast);

}  // namespace tovira
