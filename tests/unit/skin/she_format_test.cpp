#include "skin/she_format.h"

#include <gtest/gtest.h>

#include <string>

#include "support/files.h"

namespace skin {
namespace {

TEST(ParseSkin, ReadsTheThreeColours) {
  const auto skin = ParseSkin("window = #EEF3F9\ntext=#1b365d\n  field\t=  #FFFFFF  \n");
  ASSERT_TRUE(skin);
  EXPECT_EQ(skin->window, (Rgb{0xEE, 0xF3, 0xF9}));
  EXPECT_EQ(skin->text, (Rgb{0x1B, 0x36, 0x5D}));
  EXPECT_EQ(skin->field, (Rgb{0xFF, 0xFF, 0xFF}));
}

TEST(ParseSkin, SkipsCommentsBlankLinesAndCarriageReturns) {
  const auto skin = ParseSkin("# 皮肤\r\n; note\r\n\r\nwindow = #000001\r\ntext = #000002\r\nfield = #000003");
  ASSERT_TRUE(skin);
  EXPECT_EQ(skin->field, (Rgb{0, 0, 3}));
}

TEST(ParseSkin, RefusesUnsuitableFiles) {
  const char* const bad[] = {
      "",                                                     // nothing
      "window = #EEF3F9\ntext = #1B365D\n",                   // field missing
      "window = #EEF3F9\ntext = #1B365D\nfield = #FFF\n",     // short colour
      "window = EEF3F9\ntext = #1B365D\nfield = #FFFFFF\n",   // no '#'
      "window = #EEF3G9\ntext = #1B365D\nfield = #FFFFFF\n",  // not hexadecimal
      "window = #EEF3F9\ntext = #1B365D\nfield = #FFFFFF\nframe = #000000\n",  // unknown name
      "window = #EEF3F9\nwindow = #EEF3F9\ntext = #1B365D\nfield = #FFFFFF\n",  // twice
      "window #EEF3F9\ntext = #1B365D\nfield = #FFFFFF\n",    // no '='
      "MZ\x90\x00\x03",                                        // not text at all
  };
  for (const char* bytes : bad) EXPECT_FALSE(ParseSkin(bytes)) << bytes;
}

TEST(ParseSkin, SaysWhichLineIsWrong) {
  std::string error;
  EXPECT_FALSE(ParseSkin("window = #EEF3F9\n\ntext = blue\n", &error));
  EXPECT_EQ(error, "line 3: not a #RRGGBB colour");
}

TEST(ParseSkin, RefusesAnOversizedFile) {
  std::string bytes = "window = #EEF3F9\ntext = #1B365D\nfield = #FFFFFF\n";
  bytes.append(kMaxSkinFileSize, '#');
  EXPECT_FALSE(ParseSkin(bytes));
}

TEST(ParseSkin, AcceptsTheSkinThatShips) {
  const auto bytes = testing_support::ReadBytes(SKIN_SOURCE_DIR "/1.she");
  ASSERT_TRUE(bytes);
  EXPECT_TRUE(ParseSkin(*bytes));
}

}  // namespace
}  // namespace skin
