#include <gtest/gtest.h>

#include "text/codepage.h"

namespace {

using text::FromAnsi;
using text::FromUtf8;
using text::ToAnsi;
using text::ToUtf8;

TEST(CodePage, ChineseRoundTripsThroughCodePage936) {
  const std::u16string word = u"扇区键值=数据 [Main]";
  const std::string bytes = ToAnsi(word);
  EXPECT_EQ(bytes, "\xC9\xC8\xC7\xF8\xBC\xFC\xD6\xB5=\xCA\xFD\xBE\xDD [Main]");
  EXPECT_EQ(FromAnsi(bytes), word);
}

TEST(CodePage, EuroSignIsByte80AsOnWindows) {
  EXPECT_EQ(ToAnsi(u"€"), "\x80");
  EXPECT_EQ(FromAnsi("\x80"), u"€");
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarksAndKeepTheRest) {
  EXPECT_EQ(ToAnsi(u"a\u0E01b"), "a?b");        // Thai has no place in code page 936
  EXPECT_EQ(ToAnsi(u"x\U0001F600y"), "x??y");    // one '?' per UTF-16 unit
  EXPECT_EQ(ToAnsi(u"\xD800z"), "?z");            // lone surrogate
  EXPECT_FALSE(text::ToAnsiExact(u"a\u0E01b").has_value());
  EXPECT_EQ(text::ToAnsiExact(u"键"), ToAnsi(u"键"));
}

TEST(CodePage, InvalidBytesBecomeQuestionMarksAndKeepTheRest) {
  EXPECT_EQ(FromAnsi("\x81\x20x"), u"?x");  // a lead byte takes its invalid follower along
  EXPECT_EQ(FromAnsi("a\x81"), u"a?");      // a lead byte at the end
  EXPECT_EQ(FromAnsi("\xFF" "A"), u"?A");
}

TEST(CodePage, DanglingLeadByteIsFoundFromTheStart) {
  const std::string key = ToAnsi(u"键");  // BC FC
  EXPECT_EQ(text::LengthWithoutDanglingLeadByte("ab"), 2u);
  EXPECT_EQ(text::LengthWithoutDanglingLeadByte(key), 2u);
  EXPECT_EQ(text::LengthWithoutDanglingLeadByte(key + key.substr(0, 1)), 2u);
  // FC is a trail byte here, although it could also lead a character.
  EXPECT_EQ(text::LengthWithoutDanglingLeadByte("a" + key), 3u);
  EXPECT_EQ(text::LengthWithoutDanglingLeadByte(""), 0u);
}

TEST(Utf8, RoundTripsEveryPlane) {
  const std::u16string all = u"a\u00E9\u4E2D\U0001F600";
  EXPECT_EQ(ToUtf8(all), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8(ToUtf8(all)), all);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xE4\xB8"), u"\uFFFD\uFFFD");      // cut short
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");      // overlong
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
}

}  // namespace
