#include "ui/twips.h"

#include <gtest/gtest.h>

namespace {

using ui::TwipsToPixels;

TEST(TwipsToPixels, FifteenTwipsArePixelAt96Dpi) {
  EXPECT_EQ(TwipsToPixels(8085, 96), 539);
  EXPECT_EQ(TwipsToPixels(4830, 96), 322);
  EXPECT_EQ(TwipsToPixels(15, 96), 1);
  EXPECT_EQ(TwipsToPixels(0, 96), 0);
}

TEST(TwipsToPixels, RoundsToTheNearestPixelAtOtherDpis) {
  EXPECT_EQ(TwipsToPixels(255, 120), 21);   // 21.25
  EXPECT_EQ(TwipsToPixels(1215, 144), 122);  // 121.5: halves go up, as MulDiv does
  EXPECT_EQ(TwipsToPixels(8085, 192), 1078);
  EXPECT_EQ(TwipsToPixels(-15, 96), -1);
}

}  // namespace
