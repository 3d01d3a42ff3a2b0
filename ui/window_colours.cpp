#include "ui/window_colours.h"

namespace tovira {
namespace {

constexpr Colour Fixed(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return {SystemColour::kNone, red | (green << 8) | (blue << 16)};
}

constexpr Colour System(SystemColour colour) {
  return {colour, 0};
}

}  // namespace

Colour ColourOf(WindowPart part, bool highContrast) {
  switch (part) {
    case WindowPart::kFrame:
      return highContrast ? System(SystemColour::kWindow) : Fixed(255, 255, 255);
    case WindowPart::kTitleText:
      return highContrast ? System(SystemColour::kWindowText) : Fixed(70, 130, 180);
    case WindowPart::kLampOn:
      return highContrast ? System(SystemColour::kHighlight) : Fixed(127, 255, 0);
    case WindowPart::kLampOnText:
      return System(highContrast ? SystemColour::kHighlightText : SystemColour::kWindowText);
    case WindowPart::kLampOff:
      return highContrast ? System(SystemColour::kWindow) : Fixed(245, 245, 245);
    case WindowPart::kFrameText:
    case WindowPart::kLampOffText:
      break;
  }
  return System(SystemColour::kWindowText);
}

}  // namespace tovira
