#include "base/target_mode.h"

#include <gtest/gtest.h>

namespace tovira {
namespace {

TEST(TargetMode, OnlyOneToThreeAreModes) {
  EXPECT_EQ(TargetModeFromNumber(1), TargetMode::Velmora);
  EXPECT_EQ(TargetModeFromNumber(3), TargetMode::Harmoa);
  EXPECT_EQ(TargetModeFromNumber(0), std::nullopt);
  EXPECT_EQ(TargetModeFromNumber(4), std::nullopt);
}

}  // namespace
}  // namespace tovira
