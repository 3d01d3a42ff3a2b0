#include "app/build_mode.h"

#ifndef TOVIRA_TARGET_MODE
#error "TOVIRA_TARGET_MODE (1, 2 or 3) is set by the build for each program"
#endif
static_assert(TOVIRA_TARGET_MODE >= 1 && TOVIRA_TARGET_MODE <= 3, "TOVIRA_TARGET_MODE is 1, 2 or 3");

namespace tovira {

TargetMode BuildTargetMode() {
  return static_cast<TargetMode>(TOVIRA_TARGET_MODE);
}

}  // namespace tovira
