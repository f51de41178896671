#include "ui/label_fit.h"

#include <gtest/gtest.h>

namespace {

using ui::AutoSizeLabel;
using ui::FitLabel;
using ui::LabelFit;
using ui::PixelSize;

constexpr PixelSize kDesigned{141, 13};  // 2115 x 195 twips at 96 DPI

TEST(FitLabel, KeepsTheDesignWhereTheTextFitsAndGrowsToOneLineWhereItDoesNot) {
  const struct {
    const char* name;
    std::optional<PixelSize> measured;
    LabelFit expected;
  } cases[] = {
      {"fits", PixelSize{120, 13}, {kDesigned, false}},
      {"exactly", kDesigned, {kDesigned, false}},
      {"too wide", PixelSize{165, 13}, {{165, 13}, true}},
      {"too high", PixelSize{100, 15}, {{141, 15}, true}},
      {"both", PixelSize{200, 17}, {{200, 17}, true}},
  };
  for (const auto& c : cases) EXPECT_EQ(FitLabel(kDesigned, c.measured), c.expected) << c.name;
}

// Where text cannot be measured the label keeps its designed size, never none.
TEST(FitLabel, TextThatCannotBeMeasuredKeepsTheDesignedSize) {
  const std::optional<PixelSize> failures[] = {std::nullopt, PixelSize{0, 0}, PixelSize{0, 15}, PixelSize{160, 0},
                                               PixelSize{-1, 13}};
  for (const auto& measured : failures) {
    EXPECT_EQ(FitLabel(kDesigned, measured), (LabelFit{kDesigned, false}));
    EXPECT_EQ(AutoSizeLabel(kDesigned, measured), kDesigned);
  }
}

TEST(AutoSizeLabel, TakesTheTextsSizeSmallerOrLarger) {
  EXPECT_EQ(AutoSizeLabel({96, 12}, PixelSize{112, 15}), (PixelSize{112, 15}));
  EXPECT_EQ(AutoSizeLabel({96, 12}, PixelSize{40, 10}), (PixelSize{40, 10}));
}

}  // namespace
