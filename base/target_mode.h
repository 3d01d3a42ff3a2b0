#pragma once
// The target mode decides the block name, the bit order of frames, the interface
// process and whether window messages are posted. It is fixed for a whole run.

#include <array>
#include <optional>

namespace tovira {

enum class TargetMode : int { Velmora = 1, Quorandel = 2, Harmoa = 3 };

inline constexpr std::array<TargetMode, 3> kTargetModes = {TargetMode::Velmora, TargetMode::Quorandel,
                                                           TargetMode::Harmoa};

constexpr int ModeNumber(TargetMode mode) {
  return static_cast<int>(mode);
}

std::optional<TargetMode> TargetModeFromNumber(int number);

}  // namespace tovira
