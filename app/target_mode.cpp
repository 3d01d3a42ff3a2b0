#include "app/target_mode.h"

namespace tovira {

std::optional<TargetMode> TargetModeFromNumber(int number) {
  for (TargetMode mode : kTargetModes) {
    if (ModeNumber(mode) == number) return mode;
  }
  return std::nullopt;
}

std::optional<TargetMode> TargetModeFromFormName(std::wstring_view formName) {
  for (TargetMode mode : kTargetModes) {
    if (FormNameOf(mode) == formName) return mode;
  }
  return std::nullopt;
}

}  // namespace tovira
