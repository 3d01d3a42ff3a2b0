#include "base/target_mode.h"

namespace tovira {

std::optional<TargetMode> TargetModeFromNumber(int number) {
  for (TargetMode mode : kTargetModes) {
    if (ModeNumber(mode) == number) return mode;
  }
  return std::nullopt;
}

}  // namespace tovira
