// The portable code page 936 (the native build's conversion) against Windows' own
// MultiByteToWideChar and WideCharToMultiByte (flags 0, no default character given, as
// the Win32 build calls them), over the whole range in both directions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <type_traits>

#include "text/codepage.h"
#include "text/cp936.h"

namespace {

constexpr UINT kCodePage = 936;

struct Encoded {
  std::string bytes;
  bool usedDefault = false;
  bool operator==(const Encoded&) const = default;
};

Encoded SystemEncode(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int count = static_cast<int>(text.size());
  std::string out(2 * text.size(), '\0');
  BOOL used = FALSE;
  const int n = WideCharToMultiByte(kCodePage, 0, wide, count, out.data(), static_cast<int>(out.size()), nullptr, &used);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return {out, used != FALSE};
}

Encoded PortableEncode(std::u16string_view text) {
  Encoded e;
  e.bytes = text::cp936::Encode(text, &e.usedDefault);
  return e;
}

std::u16string SystemDecode(std::string_view bytes) {
  if (bytes.empty()) return {};
  std::u16string out(bytes.size(), u'\0');
  const int n = MultiByteToWideChar(kCodePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    reinterpret_cast<wchar_t*>(out.data()), static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

// Hex of at most 24 elements from `from` on, for the messages.
template <typename Char>
std::string HexOf(std::basic_string_view<Char> s, std::size_t from) {
  std::string out;
  if (from > 0) out += "... ";
  char b[8];
  for (std::size_t i = from; i < s.size() && i < from + 24; ++i) {
    std::snprintf(b, sizeof b, sizeof(Char) == 1 ? "%02X " : "%04X ",
                  static_cast<unsigned>(static_cast<std::make_unsigned_t<Char>>(s[i])));
    out += b;
  }
  if (s.size() > from + 24) out += "...";
  return out;
}
std::string Hex(std::string_view s, std::size_t from = 0) { return HexOf(s, from); }
std::string Hex(std::u16string_view s, std::size_t from = 0) { return HexOf(s, from); }

// Where two results first differ, a few elements early.
template <typename S>
std::size_t Near(const S& a, const S& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i < 4 ? 0 : i - 4;
}

// Compares one input; reports the first few differences of a sweep and counts them all.
class Sweep {
 public:
  void Encode(std::u16string_view text) {
    const Encoded want = SystemEncode(text);
    const Encoded got = PortableEncode(text);
    if (got == want) return;
    if (++differences_ <= 10)
      ADD_FAILURE() << text.size() << " units " << Hex(text) << ": Windows " << Hex(want.bytes, Near(want.bytes, got.bytes))
                    << "(default " << want.usedDefault << "), portable " << Hex(got.bytes, Near(want.bytes, got.bytes))
                    << "(default " << got.usedDefault << ")";
  }
  void Decode(std::string_view bytes) {
    const std::u16string want = SystemDecode(bytes);
    const std::u16string got = text::cp936::Decode(bytes);
    if (got == want) return;
    if (++differences_ <= 10)
      ADD_FAILURE() << bytes.size() << " bytes " << Hex(bytes) << ": Windows " << Hex(want, Near(want, got))
                    << ", portable " << Hex(got, Near(want, got));
  }
  int differences() const { return differences_; }

 private:
  int differences_ = 0;
};

TEST(Cp936AgainstWindows, EveryUtf16UnitToBytes) {
  Sweep sweep;
  for (unsigned u = 0; u < 0x10000; ++u) sweep.Encode(std::u16string(1, static_cast<char16_t>(u)));
  EXPECT_EQ(sweep.differences(), 0);
}

TEST(Cp936AgainstWindows, WholeRangeAndSurrogatesInOneString) {
  std::u16string all;
  for (unsigned u = 1; u < 0x10000; ++u) all += static_cast<char16_t>(u);
  Sweep sweep;
  sweep.Encode(all);
  sweep.Encode(u"a\U0001F600b");              // a pair
  sweep.Encode(u"\xD83D" "a\xDE00" "b\xD800"); // lone high, lone low, high at the end
  sweep.Encode(u"\xDE00\xD83D");              // in the wrong order
  sweep.Encode(u"ý¢\uE000\uF8F5€键");        // best fit, private use, euro, a character
  EXPECT_EQ(sweep.differences(), 0);
}

TEST(Cp936AgainstWindows, EveryByteAndEveryBytePairToUtf16) {
  Sweep sweep;
  for (unsigned first = 0; first < 256; ++first) {
    sweep.Decode(std::string(1, static_cast<char>(first)));
    for (unsigned second = 0; second < 256; ++second)
      sweep.Decode(std::string{static_cast<char>(first), static_cast<char>(second)});
  }
  EXPECT_EQ(sweep.differences(), 0);
}

// A lead byte cut off at the end, before NUL, and before each byte that cannot follow it,
// each with text around it.
TEST(Cp936AgainstWindows, LeadBytesWithoutTheirTrailByte) {
  Sweep sweep;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    const char l = static_cast<char>(lead);
    sweep.Decode(std::string{'a', l});
    sweep.Decode(std::string{'a', l, '\0', 'x'});
    sweep.Decode(std::string{l, '=', '1'});
    sweep.Decode(std::string{l, l, l});
    sweep.Decode(std::string{l, '\x7F', 'x'});
    sweep.Decode(std::string{l, '\xFF', 'x'});
  }
  EXPECT_EQ(sweep.differences(), 0);
}

// Long random texts, so that no state carries wrongly from one character to the next.
TEST(Cp936AgainstWindows, RandomTexts) {
  std::mt19937 random(936);
  std::uniform_int_distribution<unsigned> byte(0, 255), lead(0x81, 0xFE), unit(0, 0xFFFF), length(1, 200);
  Sweep sweep;
  for (int i = 0; i < 2000; ++i) {
    std::string bytes;
    std::u16string units;
    for (unsigned n = length(random); n > 0; --n) {
      bytes += static_cast<char>(n % 3 == 0 ? lead(random) : byte(random));
      units += static_cast<char16_t>(n % 4 == 0 ? 0xD800 + unit(random) % 0x800 : unit(random));
    }
    sweep.Decode(bytes);
    sweep.Encode(units);
  }
  EXPECT_EQ(sweep.differences(), 0);
}

// The Win32 build's own conversion (CP_ACP, 936 in this prefix) gives what the native
// build gives, '?' stand-ins counted alike.
TEST(Cp936AgainstWindows, ThisBuildsAnsiConversionAgrees) {
  ASSERT_EQ(GetACP(), kCodePage) << "the test prefix must run with the Chinese code page";
  int differences = 0;
  for (unsigned u = 0; u < 0x10000; ++u) {
    const std::u16string one(1, static_cast<char16_t>(u));
    bool usedDefault = false;
    const std::string bytes = text::cp936::Encode(one, &usedDefault);
    const auto exact = text::ToAnsiExact(one);
    if (text::ToAnsi(one) != bytes || exact.has_value() == usedDefault || (exact && *exact != bytes)) {
      if (++differences <= 10) ADD_FAILURE() << "U+" << Hex(one);
    }
  }
  for (unsigned b = 0; b < 256; ++b) {
    EXPECT_EQ(text::IsLeadByte(static_cast<unsigned char>(b)), text::cp936::IsLeadByte(static_cast<unsigned char>(b)))
        << b;
    for (unsigned t = 0; t < 256; ++t) {
      const std::string pair{static_cast<char>(b), static_cast<char>(t)};
      if (text::FromAnsi(pair) != text::cp936::Decode(pair) && ++differences <= 10) ADD_FAILURE() << Hex(pair);
    }
  }
  EXPECT_EQ(differences, 0);
}

}  // namespace
