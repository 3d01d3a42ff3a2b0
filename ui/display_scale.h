#pragma once
// Display scaling: the window is designed in pixels at 96 DPI and scaled to the
// monitor it is on; its pictures are drawn ahead of time at the scalings
// Windows offers, and the window picks the one that fits.

#include <string>
#include <string_view>

namespace tovira {

inline constexpr int kDesignDpi = 96;

// A design length at `dpi`, rounded to the nearest pixel.
int ScaleToDpi(int designPixels, unsigned dpi);

// The largest drawn scaling, in percent, that does not exceed the display's
// (100, 125, 150, 175, 200, 250 or 300): a picture never outgrows its place.
int PictureScaleFor(unsigned dpi);

// The resource name of a picture at a scaling: "btn_on" at 100 %, "btn_on_150" at 150 %.
std::wstring PictureName(std::wstring_view base, int scalePercent);

}  // namespace tovira
