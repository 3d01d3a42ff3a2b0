#include "base/target_mode.h"

#include <gtest/gtest.h>

namespace tovira {
namespace {

TEST(TargetMode, FormNamesPickTheirModeAndNothingElseDoes) {
  EXPECT_EQ(TargetModeFromDisplayName(L"ヴェルモラSW"), TargetMode::Velmora);
  EXPECT_EQ(TargetModeFromDisplayName(L"クオラン"), TargetMode::Quorandel);
  EXPECT_EQ(TargetModeFromDisplayName(L"ハルモア"), TargetMode::Harmoa);
  EXPECT_EQ(TargetModeFromDisplayName(L"ヴェルモラ"), std::nullopt);
  EXPECT_EQ(TargetModeFromDisplayName(L""), std::nullopt);
}

TEST(TargetMode, OnlyOneToThreeAreModes) {
  EXPECT_EQ(TargetModeFromNumber(1), TargetMode::Velmora);
  EXPECT_EQ(TargetModeFromNumber(3), TargetMode::Harmoa);
  EXPECT_EQ(TargetModeFromNumber(0), std::nullopt);
  EXPECT_EQ(TargetModeFromNumber(4), std::nullopt);
}

}  // namespace
}  // namespace tovira
