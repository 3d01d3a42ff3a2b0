#pragma once
// The target mode decides the block name, the bit order of frames, the interface
// process and whether window messages are posted. It is fixed for a whole run.

#include <array>
#include <optional>
#include <string_view>

#include "base/texts_ja.h"

namespace tovira {

enum class TargetMode : int { Velmora = 1, Quorandel = 2, Harmoa = 3 };

inline constexpr std::array<TargetMode, 3> kTargetModes = {TargetMode::Velmora, TargetMode::Quorandel,
                                                           TargetMode::Harmoa};

constexpr int ModeNumber(TargetMode mode) {
  return static_cast<int>(mode);
}

constexpr std::wstring_view DisplayNameOf(TargetMode mode) {
  return texts::kTargetDisplayNames[ModeNumber(mode) - 1];
}

std::optional<TargetMode> TargetModeFromNumber(int number);

// The first entry of the display names equal to `displayName` picks the mode.
std::optional<TargetMode> TargetModeFromDisplayName(std::wstring_view displayName);

}  // namespace tovira
