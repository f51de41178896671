#include "window/form_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "window/form1_ids.h"

namespace window {
namespace {

TEST(FontHeight, TenAndAHalfPointsAtCommonDpis) {
  EXPECT_EQ(FontHeightForPoints(105, 96), -14);
  EXPECT_EQ(FontHeightForPoints(105, 120), -18);  // 17.5
  EXPECT_EQ(FontHeightForPoints(105, 144), -21);
}

TEST(Caption, ShowsMajorMinorAndRevision) {
  EXPECT_EQ(CaptionFor(2, 0, 0), u"Kestrova软件修复器 V2.0.0");
  EXPECT_EQ(CaptionFor(2, 10, 3), u"Kestrova软件修复器 V2.10.3");
  EXPECT_EQ(CaptionFor(65535, 0, 65535), u"Kestrova软件修复器 V65535.0.65535");
}

TEST(Caption, TakesTheRevisionFromTheFourthPartOfTheFileVersion) {
  // File version 2.10.7.3: the build number 7 is not shown.
  const std::uint64_t version = (std::uint64_t{2} << 48) | (std::uint64_t{10} << 32) | (std::uint64_t{7} << 16) | 3;
  EXPECT_EQ(CaptionForFileVersion(version), u"Kestrova软件修复器 V2.10.3");
}

const FormControl& Find(int id) {
  const auto controls = Form1Controls();
  return *std::find_if(controls.begin(), controls.end(), [id](const FormControl& c) { return c.id == id; });
}

TEST(Form1Controls, AreCreatedInTabOrderWithinEachContainer) {
  int last[2] = {0, 0};
  std::set<int> ids;
  bool frameSeen = false;
  for (const FormControl& item : Form1Controls()) {
    const int container = static_cast<int>(item.container);
    EXPECT_GT(item.tabIndex, last[container]) << item.id;
    last[container] = item.tabIndex;
    EXPECT_TRUE(ids.insert(item.id).second);
    // A container exists before what it holds.
    if (item.container == Container::kFrame1) {
      EXPECT_TRUE(frameSeen) << item.id;
    }
    if (item.id == ids::kFrame1) frameSeen = true;
  }
  EXPECT_EQ(ids.size(), 6u);
}

TEST(Form1Controls, EveryControlFitsInsideItsContainer) {
  const FormControl& frame = Find(ids::kFrame1);
  for (const FormControl& item : Form1Controls()) {
    const int width = item.container == Container::kWindow ? kClientWidthTwips : frame.rect.width;
    const int height = item.container == Container::kWindow ? kClientHeightTwips : frame.rect.height;
    EXPECT_LE(item.rect.left + item.rect.width, width) << item.id;
    EXPECT_LE(item.rect.top + item.rect.height, height) << item.id;
  }
}

}  // namespace
}  // namespace window
