#pragma once

#include "base/target_mode.h"

namespace tovira {

// The target mode this program was built for; each installation carries the
// program of its target.
TargetMode BuildTargetMode();

}  // namespace tovira
