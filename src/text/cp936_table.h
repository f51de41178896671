#pragma once
// The tables of code page 936 as Windows converts it (cp936_table.cpp), and how they are
// laid out.
//
// Single bytes: 0x00-0x7F are ASCII, 0x80 is the euro sign, 0xFF a private-use
// character; 0x81-0xFE lead a double-byte character. A lead byte is followed by a trail
// byte 0x40-0xFE; every such pair has a character, the user-defined areas included
// (private-use characters from U+E000), except the trail byte 0x7F, which gives '?'.
//
// Into the code page, a character takes the bytes that decode to it; the few that no
// byte sequence decodes to but Windows still writes (best-fit letters such as
// U+00FD -> 'y') are listed in kEncodeExtra; every other character becomes '?'.

#include <cstddef>
#include <cstdint>

namespace text::cp936 {

inline constexpr unsigned char kFirstLead = 0x81;
inline constexpr unsigned char kLastLead = 0xFE;
inline constexpr unsigned char kFirstTrail = 0x40;
inline constexpr unsigned char kLastTrail = 0xFE;
inline constexpr std::size_t kLeads = kLastLead - kFirstLead + 1;    // 126
inline constexpr std::size_t kTrails = kLastTrail - kFirstTrail + 1;  // 191
inline constexpr char16_t kDefaultUnit = u'?';
inline constexpr std::uint16_t kDefaultCode = '?';

constexpr bool IsLeadByte(unsigned char byte) { return byte >= kFirstLead && byte <= kLastLead; }
constexpr bool IsTrailByte(unsigned char byte) { return byte >= kFirstTrail && byte <= kLastTrail; }

// The character of each byte that is not a lead byte (a lead byte alone holds '?').
extern const char16_t kSingleByte[256];
// The character of each lead and trail byte pair: kDoubleByte[lead - kFirstLead][trail - kFirstTrail].
extern const char16_t kDoubleByte[kLeads][kTrails];

// A character's code: one byte below 0x100, else lead * 256 + trail.
struct EncodeEntry {
  char16_t unit;
  std::uint16_t code;
};
extern const EncodeEntry kEncodeExtra[];
extern const std::size_t kEncodeExtraCount;

// Fills encode[65536] with the code of each UTF-16 unit from the decode tables alone:
// the bytes that decode to it (the lowest code when several do), '?' when none does.
inline void InvertDecodeTables(const char16_t (&single)[256], const char16_t (&pairs)[kLeads][kTrails],
                               std::uint16_t* encode) {
  constexpr std::uint16_t kUnset = 0xFFFF;  // never a code: 0xFF leads no pair
  for (std::size_t u = 0; u < 0x10000; ++u) encode[u] = kUnset;
  // A '?' in the tables stands for "no character", except for the byte '?' itself.
  for (unsigned b = 0; b < 256; ++b) {
    const char16_t unit = single[b];
    if (IsLeadByte(static_cast<unsigned char>(b)) || (unit == kDefaultUnit && b != kDefaultCode)) continue;
    if (encode[unit] == kUnset) encode[unit] = static_cast<std::uint16_t>(b);
  }
  for (std::size_t lead = 0; lead < kLeads; ++lead)
    for (std::size_t trail = 0; trail < kTrails; ++trail) {
      const char16_t unit = pairs[lead][trail];
      if (unit == kDefaultUnit || encode[unit] != kUnset) continue;
      encode[unit] = static_cast<std::uint16_t>((kFirstLead + lead) << 8 | (kFirstTrail + trail));
    }
  for (std::size_t u = 0; u < 0x10000; ++u)
    if (encode[u] == kUnset) encode[u] = kDefaultCode;
}

}  // namespace text::cp936
