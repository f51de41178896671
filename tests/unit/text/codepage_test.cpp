#include <gtest/gtest.h>

#include "text/codepage.h"

namespace {

using text::FromAnsi;
using text::FromUtf8;
using text::ToAnsi;
using text::ToAnsiExact;
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
  EXPECT_EQ(ToAnsi(u"x\U0001F600y"), "x??y");    // one '?' per UTF-16 unit, paired or not
  EXPECT_EQ(ToAnsi(u"\xD800z\xDC00"), "?z?");     // lone surrogates
  EXPECT_FALSE(ToAnsiExact(u"a\u0E01b").has_value());
  EXPECT_FALSE(ToAnsiExact(u"\U0001F600").has_value());
  EXPECT_EQ(ToAnsiExact(u"a?b"), "a?b");   // a real '?' is no stand-in
  EXPECT_EQ(ToAnsiExact(u"键"), ToAnsi(u"键"));
}

// What Windows writes for letters the code page lacks: a near letter, not '?'. It is what
// the ANSI functions receive, so it counts as the name's exact form.
TEST(CodePage, BestFitLettersAsOnWindows) {
  EXPECT_EQ(ToAnsi(u"ý"), "y");
  EXPECT_EQ(ToAnsiExact(u"Jaroslav Kýr"), "Jaroslav Kyr");
  EXPECT_EQ(FromAnsi(ToAnsi(u"ý")), u"y");
}

// Bytes from the user-defined areas and the byte FF are characters on Windows (private
// use), so a value that holds them survives being read and written back.
TEST(CodePage, UserDefinedAreasAndByteFFAreCharacters) {
  EXPECT_EQ(FromAnsi("\xAA\xA1"), u"\uE000");
  EXPECT_EQ(ToAnsi(u"\uE000"), "\xAA\xA1");
  EXPECT_EQ(FromAnsi("\xFF"), u"\uF8F5");
  EXPECT_EQ(ToAnsi(u"\uF8F5"), "\xFF");

  const std::string value = "\xD3\xC3\xBB\xA7=\xAA\xA1\xAF\xFE\xF8\xA1\xFE\xFE\xA1\x40\xA7\xA0\xFF!";
  const std::u16string read = FromAnsi(value);
  EXPECT_EQ(read.find(u'?'), std::u16string::npos);
  EXPECT_EQ(ToAnsi(read), value);
  EXPECT_EQ(ToAnsiExact(read), value);

  struct Area {
    unsigned firstLead, lastLead, firstTrail, lastTrail;
  };
  for (const Area area : {Area{0xAA, 0xAF, 0xA1, 0xFE}, Area{0xF8, 0xFE, 0xA1, 0xFE}, Area{0xA1, 0xA7, 0x40, 0xA0}}) {
    for (unsigned lead = area.firstLead; lead <= area.lastLead; ++lead) {
      for (unsigned trail = area.firstTrail; trail <= area.lastTrail; ++trail) {
        if (trail == 0x7F) continue;  // never a trail byte
        const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
        const std::u16string unit = FromAnsi(pair);
        ASSERT_EQ(unit.size(), 1u) << std::hex << lead << ' ' << trail;
        EXPECT_TRUE(unit[0] >= 0xE000 && unit[0] <= 0xF8FF) << std::hex << lead << ' ' << trail << ": " << static_cast<unsigned>(unit[0]);
      }
    }
  }
}

// Every byte pair that is a character comes back as the same bytes: read and written
// back, a file keeps its bytes.
TEST(CodePage, EveryCharacterPairComesBackAsItsBytes) {
  int characters = 0;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string unit = FromAnsi(pair);
      ASSERT_EQ(unit.size(), 1u);
      if (unit == u"?") continue;
      ++characters;
      EXPECT_EQ(ToAnsiExact(unit), pair) << std::hex << lead << ' ' << trail;
    }
  }
  EXPECT_EQ(characters, 126 * 190);  // all but the trail byte 7F
}

TEST(CodePage, InvalidBytesBecomeQuestionMarksAndKeepTheRest) {
  EXPECT_EQ(FromAnsi("\x94\x3D" "x"), u"?x");  // a lead byte takes any follower along, "=" too
  EXPECT_EQ(FromAnsi("\x81\x7F" "x"), u"?x");
  EXPECT_EQ(FromAnsi("\x81\xFF" "x"), u"?x");
  EXPECT_EQ(FromAnsi(std::string("\x81\0x", 3)), std::u16string(u"?\0x", 3));  // but not a NUL
  EXPECT_EQ(FromAnsi("a\x81"), u"a?");          // a lead byte at the end
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
