// EncodeBody on arbitrary text (the code page conversion itself is codepage_fuzz's).
//
// Input: one mode byte, then the text: UTF-16LE units (mode bit 1 clear) or code page
// bytes (set).
//
// Checked: nothing crashes; EncodeBody keeps a unit whose code page form is one byte
// below 0xFF or that the code page cannot hold, writes every other one as "%" HIGH "%"
// LOW of its code page bytes (upper-case hex, no leading zeros), and the code page bytes
// decode back to the unit or the character it borrows.
//
// What the code page makes of one unit is asked once per unit value and kept: the body
// is then checked at the speed of EncodeBody itself.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/codepage.h"
#include "update/encode_body.h"

namespace {

using fuzz_support::Utf16Hex;

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

// What EncodeBody must make of one unit: the unit itself (empty `escape`) or its escape.
struct Expected {
  bool made = false;
  std::u16string escape;
};

const Expected& ExpectedFor(char16_t unit) {
  static std::vector<Expected> cache(0x10000);
  Expected& e = cache[unit];
  if (e.made) return e;
  e.made = true;
  const std::optional<std::string> ansi = text::ToAnsiExact(std::u16string(1, unit));
  const bool kept = !ansi || ansi->empty() || (ansi->size() == 1 && static_cast<unsigned char>((*ansi)[0]) < 0xFF);
  if (kept) return e;
  // Two bytes give "%" lead "%" trail; the single byte 0xFF gives "%0%FF".
  const auto lead = static_cast<unsigned char>((*ansi)[0]);
  e.escape = ansi->size() == 2 ? u"%" + Hex(lead) + u"%" + Hex(static_cast<unsigned char>((*ansi)[1]))
                               : u"%0%" + Hex(lead);
  // The bytes decode back to the unit, or to the character whose bytes the unit borrows
  // (a best-fit form, such as U+00A2 written as the full-width cent sign).
  const std::u16string back = text::FromAnsi(*ansi);
  FUZZ_CHECK(back == std::u16string(1, unit) || text::ToAnsiExact(back) == ansi,
             "code page form does not decode back: " + Utf16Hex(std::u16string(1, unit)));
  return e;
}

void CheckEncodeBody(const std::u16string& text) {
  const std::u16string body = update::EncodeBody(text);
  std::size_t at = 0;
  for (char16_t unit : text) {
    const Expected& expected = ExpectedFor(unit);
    FUZZ_CHECK(at < body.size(), "EncodeBody output too short for " + Utf16Hex(text));
    if (expected.escape.empty()) {
      FUZZ_CHECK(body[at] == unit, "EncodeBody changed a unit it must keep: " + Utf16Hex(text));
      ++at;
      continue;
    }
    FUZZ_CHECK(body.compare(at, expected.escape.size(), expected.escape) == 0,
               "EncodeBody escape is not the code page form: " + Utf16Hex(text) + " gives " + Utf16Hex(body));
    at += expected.escape.size();
  }
  FUZZ_CHECK(at == body.size(), "EncodeBody output too long for " + Utf16Hex(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::Input input(data, size);
  const std::uint8_t mode = input.Byte();
  const std::string bytes = input.Rest();
  const std::u16string text = (mode & 1) ? text::FromAnsi(bytes) : fuzz_support::Utf16Units(bytes);
  CheckEncodeBody(text);
  return 0;
}
