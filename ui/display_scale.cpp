#include "ui/display_scale.h"

#include <array>

namespace tovira {
namespace {

constexpr std::array<int, 7> kDrawnScales = {100, 125, 150, 175, 200, 250, 300};

}  // namespace

int ScaleToDpi(int designPixels, unsigned dpi) {
  const long long scaled = static_cast<long long>(designPixels) * dpi;
  const long long half = kDesignDpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kDesignDpi : (scaled - half) / kDesignDpi);
}

int PictureScaleFor(unsigned dpi) {
  // A whole percentage, rounded down: 120 DPI is 125 %, 119 is not.
  const long long percent = static_cast<long long>(dpi) * 100 / kDesignDpi;
  int chosen = kDrawnScales.front();
  for (int scale : kDrawnScales) {
    if (scale <= percent) chosen = scale;
  }
  return chosen;
}

std::wstring PictureName(std::wstring_view base, int scalePercent) {
  std::wstring name(base);
  if (scalePercent != 100) name += L"_" + std::to_wstring(scalePercent);
  return name;
}

}  // namespace tovira
