// EncodeBody and the code page conversion (code page 936) on arbitrary text.
//
// Input: one mode byte, then the text: UTF-16LE units (mode bit 1 clear) or code page
// bytes (set).
//
// Checked: nothing crashes; the conversions give 1 or 2 bytes per UTF-16 unit and 1 unit
// per 1 or 2 bytes; text the code page holds comes back unchanged through both
// directions (a best-fit form, U+00FD written as 'y', comes back as the character it
// borrows); valid UTF-8 and well-formed UTF-16 come back unchanged; EncodeBody keeps a
// unit whose code page form is one byte below 0xFF or that the code page cannot hold,
// writes every other one as "%" HIGH "%" LOW of its code page bytes (upper-case hex,
// no leading zeros), and the code page bytes decode back to the unit or the character
// it borrows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "text/codepage.h"
#include "update/encode_body.h"

namespace {

using fuzz_support::Escaped;

bool IsSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

bool WellFormed(const std::u16string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      ++i;
    } else if (IsSurrogate(s[i])) {
      return false;
    }
  }
  return true;
}

std::string Utf16Hex(const std::u16string& s) {
  std::string out;
  for (char16_t u : s) {
    char b[8];
    std::snprintf(b, sizeof b, "%04X ", static_cast<unsigned>(u));
    out += b;
  }
  return out;
}

// Upper-case hex without leading zeros.
std::u16string Hex(unsigned value) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string out;
  do {
    out.insert(out.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return out;
}

void CheckEncodeBody(const std::u16string& text) {
  const std::u16string body = update::EncodeBody(text);
  std::size_t at = 0;
  for (char16_t unit : text) {
    const std::optional<std::string> ansi = text::ToAnsiExact(std::u16string(1, unit));
    const bool kept = !ansi || ansi->empty() || (ansi->size() == 1 && static_cast<unsigned char>((*ansi)[0]) < 0xFF);
    FUZZ_CHECK(at < body.size(), "EncodeBody output too short for " + Utf16Hex(text));
    if (kept) {
      FUZZ_CHECK(body[at] == unit, "EncodeBody changed a unit it must keep: " + Utf16Hex(text));
      ++at;
      continue;
    }
    // Two bytes give "%" lead "%" trail; the single byte 0xFF gives "%0%FF".
    const auto lead = static_cast<unsigned char>((*ansi)[0]);
    const std::u16string escape = ansi->size() == 2
                                      ? u"%" + Hex(lead) + u"%" + Hex(static_cast<unsigned char>((*ansi)[1]))
                                      : u"%0%" + Hex(lead);
    FUZZ_CHECK(body.compare(at, escape.size(), escape) == 0,
               "EncodeBody escape is not the code page form: " + Utf16Hex(text) + " gives " + Utf16Hex(body));
    // The bytes decode back to the unit, or to the character whose bytes the unit borrows
    // (a best-fit form, such as U+00A2 written as the full-width cent sign).
    const std::u16string back = text::FromAnsi(*ansi);
    FUZZ_CHECK(back == std::u16string(1, unit) || text::ToAnsiExact(back) == ansi,
               "code page form does not decode back: " + Utf16Hex(text));
    at += escape.size();
  }
  FUZZ_CHECK(at == body.size(), "EncodeBody output too long for " + Utf16Hex(text));
}

void CheckConversions(const std::u16string& text, const std::string& bytes) {
  const std::string ansi = text::ToAnsi(text);
  FUZZ_CHECK(ansi.size() >= text.size() && ansi.size() <= 2 * text.size(), "ToAnsi size: " + Utf16Hex(text));
  const std::optional<std::string> exact = text::ToAnsiExact(text);
  if (exact) {
    FUZZ_CHECK(*exact == ansi, "ToAnsiExact differs from ToAnsi: " + Utf16Hex(text));
    // Each unit converts on its own: text whose units each come back comes back whole; a
    // best-fit form (U+00FD written as 'y') comes back as the character it borrows.
    bool eachComesBack = true;
    for (char16_t unit : text)
      eachComesBack = eachComesBack && text::FromAnsi(text::ToAnsi(std::u16string(1, unit))) == std::u16string(1, unit);
    if (eachComesBack)
      FUZZ_CHECK(text::FromAnsi(*exact) == text, "text the code page holds does not come back: " + Utf16Hex(text));
    FUZZ_CHECK(text::ToAnsiExact(text::FromAnsi(*exact)) == exact, "code page form is not stable: " + Utf16Hex(text));
  } else {
    FUZZ_CHECK(ansi.find('?') != std::string::npos, "lossy conversion without '?': " + Utf16Hex(text));
  }

  const std::u16string wide = text::FromAnsi(bytes);
  FUZZ_CHECK(wide.size() <= bytes.size() && 2 * wide.size() >= bytes.size(), "FromAnsi size: " + Escaped(bytes));
  // Without a '?', every byte sequence was a character of the code page.
  if (wide.find(u'?') == std::u16string::npos)
    FUZZ_CHECK(text::ToAnsi(wide) == bytes, "code page bytes do not come back: " + Escaped(bytes));

  const std::size_t cut = text::LengthWithoutDanglingLeadByte(bytes);
  FUZZ_CHECK(cut == bytes.size() || cut + 1 == bytes.size(), "LengthWithoutDanglingLeadByte: " + Escaped(bytes));
  if (cut + 1 == bytes.size())
    FUZZ_CHECK(text::IsLeadByte(static_cast<unsigned char>(bytes.back())), "dropped a byte that is no lead byte");

  const std::string utf8 = text::ToUtf8(text);
  if (WellFormed(text)) FUZZ_CHECK(text::FromUtf8(utf8) == text, "UTF-16 does not come back through UTF-8: " + Utf16Hex(text));
  const std::u16string fromUtf8 = text::FromUtf8(bytes);
  FUZZ_CHECK(fromUtf8.size() <= bytes.size(), "FromUtf8 size");
  if (fromUtf8.find(u'\uFFFD') == std::u16string::npos)
    FUZZ_CHECK(text::ToUtf8(fromUtf8) == bytes, "UTF-8 does not come back: " + Escaped(bytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::Input input(data, size);
  const std::uint8_t mode = input.Byte();
  const std::string bytes = input.Rest();
  std::u16string text;
  if (mode & 1) {
    text = text::FromAnsi(bytes);
  } else {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  CheckEncodeBody(text);
  CheckConversions(text, bytes);
  return 0;
}
