#pragma once

#include <string_view>

namespace tovira {

// A process's name as the process list knows it: the image file name without
// its directory and without a trailing ".exe" (any letter case).
std::wstring_view ProcessNameFromImagePath(std::wstring_view imagePath);

}  // namespace tovira
