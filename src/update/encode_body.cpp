#include "update/encode_body.h"

#include <charconv>
#include <cstdlib>

#include "text/codepage.h"

namespace update {
namespace {

constexpr std::int16_t kQuestionMark = 63;

void AppendHex(std::u16string& out, unsigned value) {
  char digits[8];
  const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
  for (const char* p = digits; p != end; ++p) {
    const char c = *p;
    out.push_back(static_cast<char16_t>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c));
  }
}

}  // namespace

std::int16_t AnsiCode(char16_t unit) {
  const auto bytes = text::ToAnsiExact(std::u16string_view(&unit, 1));
  if (!bytes || bytes->empty() || bytes->size() > 2) return kQuestionMark;
  const auto lead = static_cast<unsigned char>((*bytes)[0]);
  if (bytes->size() == 1) return static_cast<std::int16_t>(lead);
  const auto trail = static_cast<unsigned char>((*bytes)[1]);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(lead * 256u + trail));
}

std::u16string EncodeBody(std::u16string_view text) { return EncodeBody(text, AnsiCode); }

std::u16string EncodeBody(std::u16string_view text, const std::function<std::int16_t(char16_t)>& code) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t unit : text) {
    const int a = code(unit);
    if (std::abs(a) < 255) {
      out.push_back(unit);
      continue;
    }
    const unsigned u = a < 0 ? static_cast<unsigned>(a + 65536) : static_cast<unsigned>(a);
    out.push_back(u'%');
    AppendHex(out, u >> 8);
    out.push_back(u'%');
    AppendHex(out, u & 0xFF);
  }
  return out;
}

}  // namespace update
