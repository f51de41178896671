#include "update/version_reply.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace {

using update::DecodeVersionReply;
using update::ReplyError;
using update::VersionReply;

std::u16string Reply(std::string_view result, std::string_view version, std::string_view sid, std::string_view must) {
  return text::FromUtf8(std::string("{\"result\":") + std::string(result) + ",\"info\":{\"version\":" +
                        std::string(version) + ",\"sid\":" + std::string(sid) + ",\"must\":" + std::string(must) + "}}");
}

TEST(DecodeVersionReply, NumbersGiveTheirDecimalTextAndStringsStayAsTheyAre) {
  const struct {
    std::u16string reply;
    VersionReply expected;
  } cases[] = {
      {Reply("1", "\"2.0.0\"", "12", "0"), {u"1", u"2.0.0", u"12", u"0"}},
      {Reply("\"0\"", "\"2.1.0\"", "\"ab-C_9\"", "\"1\""), {u"0", u"2.1.0", u"ab-C_9", u"1"}},
      {Reply("0", "\" 2.0.0 \"", "7", "\"\""), {u"0", u" 2.0.0 ", u"7", u""}},
      {Reply("-0", "\"版本二\"", "1.0", "-0.0"), {u"0", u"版本二", u"1", u"0"}},
      {Reply("2.5", "3", "100e-2", "-7"), {u"2.5", u"3", u"1", u"-7"}},
      {Reply("1e2", "\"x\"", "18446744073709551615", "-9223372036854775808"),
       {u"100", u"x", u"18446744073709551615", u"-9223372036854775808"}},
      {Reply("\"ok\"", "\"2.0.0\\u0020\"", "\"sid\"", "\"yes\""), {u"ok", u"2.0.0 ", u"sid", u"yes"}},
      // Extra members and white space around the object are no obstacle.
      {u" \r\n{\"x\":[1],\"info\":{\"must\":1,\"sid\":\"S\",\"version\":\"v\",\"y\":null},\"result\":\"1\"}\n",
       {u"1", u"v", u"S", u"1"}},
  };
  for (const auto& c : cases) {
    const auto decoded = DecodeVersionReply(c.reply);
    ASSERT_TRUE(decoded.has_value()) << text::ToUtf8(c.reply);
    EXPECT_EQ(*decoded, c.expected) << text::ToUtf8(c.reply);
  }
}

TEST(DecodeVersionReply, MalformedReplies) {
  const struct {
    std::u16string reply;
    ReplyError error;
  } cases[] = {
      {u"", ReplyError::kNotJson},
      {u"<html>502 Bad Gateway</html>", ReplyError::kNotJson},
      {Reply("1", "\"2.0.0\"", "1", "0") + u"x", ReplyError::kNotJson},
      // Script that is not JSON is never run.
      {u"{result:1,info:{version:'2.0.0',sid:1,must:0}}", ReplyError::kNotJson},
      {u"(function(){return {}})()", ReplyError::kNotJson},
      {Reply("1", "\"2.0.0\"", "1", "0x1"), ReplyError::kNotJson},
      {u"[1]", ReplyError::kNotObject},
      {u"\"{}\"", ReplyError::kNotObject},
      {u"null", ReplyError::kNotObject},
      {u"{\"result\":1,\"info\":\"2.0.0\"}", ReplyError::kNotObject},
      {u"{\"result\":1,\"info\":[\"2.0.0\",1,0]}", ReplyError::kNotObject},
      {u"{\"info\":{\"version\":\"2.0.0\",\"sid\":1,\"must\":0}}", ReplyError::kMissing},
      {u"{\"result\":0}", ReplyError::kMissing},
      {u"{\"result\":1,\"info\":{\"sid\":1,\"must\":0}}", ReplyError::kMissing},
      {u"{\"Result\":1,\"info\":{\"version\":\"2.0.0\",\"sid\":1,\"must\":0}}", ReplyError::kMissing},
      {Reply("true", "\"2.0.0\"", "1", "0"), ReplyError::kWrongKind},
      {Reply("null", "\"2.0.0\"", "1", "0"), ReplyError::kWrongKind},
      {Reply("1", "{}", "1", "0"), ReplyError::kWrongKind},
  };
  for (const auto& c : cases) {
    const auto decoded = DecodeVersionReply(c.reply);
    ASSERT_FALSE(decoded.has_value()) << text::ToUtf8(c.reply);
    EXPECT_EQ(decoded.error(), c.error) << text::ToUtf8(c.reply);
  }
}

// D4: "sid" and "must" are needed only for an update offer. They never make a reply
// malformed; each comes with its text or the reason it cannot be used.
TEST(DecodeVersionReply, SidAndMustCarryTheirTextOrWhyTheyAreUnusable) {
  using Field = std::expected<std::u16string, ReplyError>;
  const auto no = [](ReplyError error) { return Field(std::unexpected(error)); };
  const struct {
    std::u16string reply;
    Field sid, must;
  } cases[] = {
      {Reply("1", "\"2.0.0\"", "\"\"", "0"), no(ReplyError::kUnsafeSid), u"0"},
      {Reply("1", "\"2.0.0\"", "\"1\\\" & calc\"", "0"), no(ReplyError::kUnsafeSid), u"0"},
      {Reply("1", "\"2.0.0\"", "1.5", "0"), no(ReplyError::kUnsafeSid), u"0"},
      {Reply("1", "\"2.0.0\"", std::string(65, '7'), "0"), no(ReplyError::kUnsafeSid), u"0"},
      {Reply("1", "\"2.0.0\"", "[1]", "false"), no(ReplyError::kWrongKind), no(ReplyError::kWrongKind)},
      {Reply("0", "\"2.0.0\"", "null", "null"), no(ReplyError::kWrongKind), no(ReplyError::kWrongKind)},
      {u"{\"result\":1,\"info\":{\"version\":\"2.0.0\",\"must\":0}}", no(ReplyError::kMissing), u"0"},
      {u"{\"result\":1,\"info\":{\"version\":\"2.1.0\",\"sid\":\"a-1\"}}", u"a-1", no(ReplyError::kMissing)},
      {u"{\"result\":1,\"info\":{\"version\":\"2.0.0\"}}", no(ReplyError::kMissing), no(ReplyError::kMissing)},
  };
  for (const auto& c : cases) {
    const auto decoded = DecodeVersionReply(c.reply);
    ASSERT_TRUE(decoded.has_value()) << text::ToUtf8(c.reply);
    EXPECT_EQ(decoded->sid, c.sid) << text::ToUtf8(c.reply);
    EXPECT_EQ(decoded->must, c.must) << text::ToUtf8(c.reply);
  }
}

TEST(DecodeVersionReply, AcceptsUpTo64KiB) {
  const std::u16string reply = Reply("1", "\"2.0.0\"", "1", "0");
  std::u16string padded = reply + std::u16string(update::kMaxReplyBytes - reply.size(), u' ');
  ASSERT_EQ(padded.size(), update::kMaxReplyBytes);
  EXPECT_TRUE(DecodeVersionReply(padded).has_value());
  padded += u' ';
  EXPECT_EQ(DecodeVersionReply(padded).error(), ReplyError::kTooLarge);
}

TEST(DecodeVersionReply, CountsTheLimitInBytes) {
  // 22,000 Han characters: fewer than 64 Ki characters, more than 64 KiB as UTF-8.
  const std::u16string version = u"\"" + std::u16string(22'000, u'中') + u"\"";
  const std::u16string reply = u"{\"result\":1,\"info\":{\"version\":" + version + u",\"sid\":1,\"must\":0}}";
  ASSERT_LT(reply.size(), update::kMaxReplyBytes);
  EXPECT_EQ(DecodeVersionReply(reply).error(), ReplyError::kTooLarge);
}

TEST(IsSafeSid, AsciiLettersDigitsDashAndUnderscoreUpTo64) {
  const struct {
    std::u16string sid;
    bool safe;
  } cases[] = {
      {u"1", true},
      {u"azAZ09-_", true},
      {std::u16string(64, u'x'), true},
      {u"", false},
      {std::u16string(65, u'x'), false},
      {u"a b", false},
      {u"a\"b", false},
      {u"../1", false},
      {u"1&calc", false},
      {u"%41", false},
      {u"中", false},
      {u"１", false},  // full-width digit
      {u"a\nb", false},
  };
  for (const auto& c : cases) EXPECT_EQ(update::IsSafeSid(c.sid), c.safe) << text::ToUtf8(c.sid);
}

}  // namespace
