// The code page conversion (code page 936 as Windows converts it) in both directions, and
// UTF-8, on arbitrary text.
//
// Input: one mode byte, then bytes that are read twice: as code page bytes, and as
// UTF-16LE units (mode bit 1 clear) or as the text those bytes decode to (set).
//
// Checked against Windows' tables (text/cp936_table.h), walked here on their own:
// - into UTF-16: single bytes give their table character; a lead byte takes the next
//   byte with it unless that is NUL or the end, and the pair gives its table character
//   ('?' when the trail byte is out of range); the text decodes alike in any two pieces
//   cut between characters;
// - into the code page: each unit converts on its own, to bytes that decode back to it,
//   or to the code of a best-fit entry, or to '?' when no byte sequence decodes to it;
//   ToAnsiExact is ToAnsi when no unit became such a '?', and nothing otherwise;
// - round trips: bytes without a '?' stand-in come back unchanged; text the code page
//   holds comes back unchanged; IsLeadByte and LengthWithoutDanglingLeadByte agree with
//   the tables; valid UTF-8 and well-formed UTF-16 come back unchanged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/codepage.h"
#include "text/cp936_table.h"

namespace {

namespace cp = text::cp936;
using fuzz_support::Escaped;
using fuzz_support::Utf16Hex;

bool WellFormed(std::u16string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool high = s[i] >= 0xD800 && s[i] <= 0xDBFF;
    const bool low = s[i] >= 0xDC00 && s[i] <= 0xDFFF;
    if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      return false;
    }
  }
  return true;
}

// Which units some byte sequence decodes to, from the tables.
const std::vector<bool>& Decodable() {
  static const std::vector<bool> decodable = [] {
    std::vector<bool> d(0x10000, false);
    for (unsigned b = 0; b < 256; ++b)
      if (!cp::IsLeadByte(static_cast<unsigned char>(b))) d[cp::kSingleByte[b]] = true;
    for (std::size_t lead = 0; lead < cp::kLeads; ++lead)
      for (std::size_t trail = 0; trail < cp::kTrails; ++trail) d[cp::kDoubleByte[lead][trail]] = true;
    return d;
  }();
  return decodable;
}

std::optional<std::uint16_t> BestFitCode(char16_t unit) {
  for (std::size_t i = 0; i < cp::kEncodeExtraCount; ++i)
    if (cp::kEncodeExtra[i].unit == unit) return cp::kEncodeExtra[i].code;
  return std::nullopt;
}

// The bytes of each unit, checked against the tables once per unit value.
struct UnitForm {
  bool made = false;
  std::string bytes;
  bool standIn = false;  // a '?' for a unit the code page cannot hold
  bool bestFit = false;  // written as another character's bytes
};

const UnitForm& FormOf(char16_t unit) {
  static std::vector<UnitForm> forms(0x10000);
  UnitForm& form = forms[unit];
  if (form.made) return form;
  form.made = true;
  const std::u16string one(1, unit);
  form.bytes = text::ToAnsi(one);
  const std::string what = "unit " + Utf16Hex(one) + "gives " + Escaped(form.bytes);
  FUZZ_CHECK(form.bytes.size() == 1 || form.bytes.size() == 2, what);
  const std::u16string back = text::FromAnsi(form.bytes);
  const std::optional<std::uint16_t> bestFit = BestFitCode(unit);
  form.bestFit = bestFit.has_value();
  if (back == one) {
    FUZZ_CHECK(Decodable()[unit], "a unit no byte sequence decodes to came back: " + what);
  } else if (bestFit) {
    const std::uint16_t code = *bestFit;
    const std::string expected = code < 0x100 ? std::string(1, static_cast<char>(code))
                                              : std::string{static_cast<char>(code >> 8), static_cast<char>(code)};
    FUZZ_CHECK(form.bytes == expected, "a best-fit unit is not written as its table entry: " + what);
  } else {
    FUZZ_CHECK(!Decodable()[unit], "a unit the code page holds does not come back: " + what);
    FUZZ_CHECK(form.bytes == "?", "a unit the code page cannot hold is not '?': " + what);
    form.standIn = true;
  }
  FUZZ_CHECK(text::ToAnsiExact(one) == (form.standIn ? std::nullopt : std::optional<std::string>(form.bytes)),
             "ToAnsiExact of one unit: " + what);
  return form;
}

// The characters of `bytes` as Windows' tables cut and decode them, with the offset at
// which each begins.
std::u16string ReferenceDecode(std::string_view bytes, std::vector<std::size_t>* starts) {
  std::u16string out;
  for (std::size_t i = 0; i < bytes.size();) {
    if (starts) starts->push_back(i);
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (!cp::IsLeadByte(b)) {
      out += cp::kSingleByte[b];
      i += 1;
    } else if (i + 1 == bytes.size() || bytes[i + 1] == '\0') {
      out += cp::kDefaultUnit;
      i += 1;
    } else {
      const auto trail = static_cast<unsigned char>(bytes[i + 1]);
      out += cp::IsTrailByte(trail) ? cp::kDoubleByte[b - cp::kFirstLead][trail - cp::kFirstTrail] : cp::kDefaultUnit;
      i += 2;
    }
  }
  return out;
}

void CheckDecode(const std::string& bytes, std::uint8_t cut) {
  std::vector<std::size_t> starts;
  const std::u16string expected = ReferenceDecode(bytes, &starts);
  const std::u16string wide = text::FromAnsi(bytes);
  FUZZ_CHECK(wide == expected, "FromAnsi differs from the tables: " + Escaped(bytes) + " gives " + Utf16Hex(wide) +
                                   "instead of " + Utf16Hex(expected));
  if (!starts.empty()) {
    const std::size_t at = starts[cut % starts.size()];
    FUZZ_CHECK(text::FromAnsi(bytes.substr(0, at)) + text::FromAnsi(bytes.substr(at)) == wide,
               "FromAnsi differs in two pieces: " + Escaped(bytes));
  }
  // Without a '?' stand-in every byte sequence was a character: the bytes come back.
  bool standIn = false;
  for (std::size_t k = 0; k < starts.size(); ++k) standIn = standIn || (wide[k] == u'?' && bytes[starts[k]] != '?');
  if (!standIn) FUZZ_CHECK(text::ToAnsi(wide) == bytes, "code page bytes do not come back: " + Escaped(bytes));

  const std::size_t kept = text::LengthWithoutDanglingLeadByte(bytes);
  const bool dangling = !starts.empty() && starts.back() + 1 == bytes.size() &&
                        cp::IsLeadByte(static_cast<unsigned char>(bytes.back()));
  FUZZ_CHECK(kept == bytes.size() - (dangling ? 1 : 0), "LengthWithoutDanglingLeadByte: " + Escaped(bytes));
  for (std::size_t k = 0; k < starts.size() && k < 4; ++k) {
    const auto b = static_cast<unsigned char>(bytes[starts[k]]);
    FUZZ_CHECK(text::IsLeadByte(b) == cp::IsLeadByte(b), "IsLeadByte: " + Escaped(bytes));
  }
}

void CheckEncode(const std::u16string& text) {
  std::string expected;
  bool standIn = false;
  bool eachComesBack = true;
  for (char16_t unit : text) {
    const UnitForm& form = FormOf(unit);
    expected += form.bytes;
    standIn = standIn || form.standIn;
    eachComesBack = eachComesBack && !form.bestFit && !form.standIn;
  }
  const std::string ansi = text::ToAnsi(text);
  FUZZ_CHECK(ansi == expected, "ToAnsi is not each unit's form: " + Utf16Hex(text));
  const std::optional<std::string> exact = text::ToAnsiExact(text);
  FUZZ_CHECK(exact == (standIn ? std::nullopt : std::optional<std::string>(ansi)), "ToAnsiExact: " + Utf16Hex(text));
  if (exact) {
    if (eachComesBack)
      FUZZ_CHECK(text::FromAnsi(*exact) == text, "text the code page holds does not come back: " + Utf16Hex(text));
    FUZZ_CHECK(text::ToAnsiExact(text::FromAnsi(*exact)) == exact, "code page form is not stable: " + Utf16Hex(text));
  }
}

void CheckUtf8(const std::u16string& text, const std::string& bytes) {
  if (WellFormed(text))
    FUZZ_CHECK(text::FromUtf8(text::ToUtf8(text)) == text, "UTF-16 does not come back through UTF-8: " + Utf16Hex(text));
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
  const std::u16string text = (mode & 1) ? text::FromAnsi(bytes) : fuzz_support::Utf16Units(bytes);
  CheckDecode(bytes, static_cast<std::uint8_t>(mode >> 1));
  CheckEncode(text);
  CheckUtf8(text, bytes);
  return 0;
}
