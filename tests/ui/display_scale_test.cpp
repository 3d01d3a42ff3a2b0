#include "ui/display_scale.h"

#include <gtest/gtest.h>

namespace tovira {
namespace {

TEST(DisplayScale, LengthsScaleAndRoundToTheNearestPixel) {
  struct Case {
    int design;
    unsigned dpi;
    int expected;
  };
  const Case cases[] = {
      {256, 96, 256}, {256, 144, 384}, {256, 192, 512}, {289, 120, 361},  // 361.25
      {7, 144, 11},                                                       // 10.5 rounds up
      {1, 96, 1},     {0, 288, 0},     {-8, 144, -12},  {22, 168, 39},    // 38.5
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaleToDpi(c.design, c.dpi), c.expected) << c.design << " at " << c.dpi;
  }
}

TEST(DisplayScale, PicturesComeFromTheLargestScalingThatFits) {
  struct Case {
    unsigned dpi;
    int expected;
  };
  const Case cases[] = {
      {72, 100},  {96, 100},  {119, 100}, {120, 125}, {143, 125}, {144, 150},
      {168, 175}, {191, 175}, {192, 200}, {240, 250}, {288, 300}, {480, 300},
  };
  for (const Case& c : cases) EXPECT_EQ(PictureScaleFor(c.dpi), c.expected) << c.dpi;
}

TEST(DisplayScale, TheHundredPercentPictureKeepsItsPlainName) {
  EXPECT_EQ(PictureName(L"btn_on", 100), L"btn_on");
  EXPECT_EQ(PictureName(L"btn_on", 150), L"btn_on_150");
  EXPECT_EQ(PictureName(L"low_bat", 300), L"low_bat_300");
}

}  // namespace
}  // namespace tovira
