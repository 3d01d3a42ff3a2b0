#pragma once
// The target mode decides the block name, the bit order of frames, the interface
// process and whether window messages are posted. It is fixed for a whole run.

#include <array>
#include <optional>
#include <string_view>

namespace tovira {

enum class TargetMode : int { Velmora = 1, Quorandel = 2, Harmoa = 3 };

inline constexpr std::array<TargetMode, 3> kTargetModes = {TargetMode::Velmora, TargetMode::Quorandel,
                                                           TargetMode::Harmoa};

// The targets' display names, index = mode - 1.
inline constexpr std::array<std::wstring_view, 3> kDisplayNames = {L"ヴェルモラSW", L"クオラン", L"ハルモア"};

constexpr int ModeNumber(TargetMode mode) {
  return static_cast<int>(mode);
}

constexpr std::wstring_view DisplayNameOf(TargetMode mode) {
  return kDisplayNames[ModeNumber(mode) - 1];
}

std::optional<TargetMode> TargetModeFromNumber(int number);

// The first entry of the display names equal to `displayName` picks the mode.
std::optional<TargetMode> TargetModeFromDisplayName(std::wstring_view displayName);

}  // namespace tovira
