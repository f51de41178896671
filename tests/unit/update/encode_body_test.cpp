#include "update/encode_body.h"

#include <gtest/gtest.h>

#include <map>

#include "text/codepage.h"

namespace {

using update::AnsiCode;
using update::EncodeBody;

TEST(EncodeBody, TextOnCodePage936) {
  const struct {
    std::u16string in, out;
  } cases[] = {
      {u"", u""},
      {u"sn=tov", u"sn=tov"},
      {u" %&=+?#/", u" %&=+?#/"},          // single bytes are never escaped
      {u"中", u"%D6%D0"},
      {u"a中b", u"a%D6%D0b"},
      {u"扇区", u"%C9%C8%C7%F8"},
      {u"sn=键值 x", u"sn=%BC%FC%D6%B5 x"},
      {u"€", u"€"},                       // single byte 0x80 stays as the character
      {u"a\u0E01b", u"a\u0E01b"},         // unmappable: counts as '?', kept as it is
      {u"\U0001F600", u"\U0001F600"},     // both halves unmappable
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeBody(c.in), c.out) << text::ToUtf8(c.in);
}

TEST(EncodeBody, EveryCommonHanCharacterBecomesSixCharacters) {
  for (char16_t c = u'\u4E00'; c <= u'\u9FA5'; ++c) {
    const std::u16string out = EncodeBody(std::u16string(1, c));
    ASSERT_EQ(out.size(), 6u) << static_cast<int>(c);
    ASSERT_EQ(out[0], u'%');
    ASSERT_EQ(out[3], u'%');
    const unsigned code = static_cast<std::uint16_t>(AnsiCode(c));
    const auto hex = [](char16_t h) { return h <= u'9' ? h - u'0' : h - u'A' + 10; };
    EXPECT_EQ((hex(out[1]) << 12) | (hex(out[2]) << 8) | (hex(out[4]) << 4) | hex(out[5]), code);
  }
}

TEST(EncodeBody, AnsiCodeIsSigned16Bit) {
  EXPECT_EQ(AnsiCode(u'A'), 65);
  EXPECT_EQ(AnsiCode(u'€'), 128);
  EXPECT_EQ(AnsiCode(u'中'), static_cast<std::int16_t>(0xD6D0));
  EXPECT_LT(AnsiCode(u'中'), 0);
  EXPECT_EQ(AnsiCode(u'\u0E01'), 63);
  EXPECT_EQ(AnsiCode(u'\xD800'), 63);
}

// The escape rule on codes the code page itself may not produce.
TEST(EncodeBody, EscapesFromAbsoluteValue255WithoutLeadingZeros) {
  const std::map<char16_t, std::int16_t> codes = {
      {u'a', 254},   {u'b', 255},   {u'c', 256},    {u'd', -1},     {u'e', -254},  {u'f', -255},
      {u'g', -256},  {u'h', 32767}, {u'i', -32768}, {u'j', 0x0A0B}, {u'k', 0x1234}, {u'l', 0},
  };
  const auto code = [&](char16_t c) { return codes.at(c); };
  const struct {
    char16_t in;
    std::u16string out;
  } cases[] = {
      {u'a', u"a"},        {u'b', u"%0%FF"},  {u'c', u"%1%0"},  {u'd', u"d"},      {u'e', u"e"},
      {u'f', u"%FF%1"},    {u'g', u"%FF%0"},  {u'h', u"%7F%FF"}, {u'i', u"%80%0"}, {u'j', u"%A%B"},
      {u'k', u"%12%34"},   {u'l', u"l"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeBody(std::u16string(1, c.in), code), c.out) << static_cast<char>(c.in);
  EXPECT_EQ(EncodeBody(u"abcd", code), u"a%0%FF%1%0d");
}

}  // namespace
