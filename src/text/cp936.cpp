#include "text/cp936.h"

#include <array>
#include <cstdint>

namespace text::cp936 {
namespace {

// The code of each UTF-16 unit, made once from the decode tables and the extra entries.
const std::array<std::uint16_t, 0x10000>& EncodeTable() {
  static const std::array<std::uint16_t, 0x10000> table = [] {
    std::array<std::uint16_t, 0x10000> t;
    InvertDecodeTables(kSingleByte, kDoubleByte, t.data());
    for (std::size_t i = 0; i < kEncodeExtraCount; ++i) t[kEncodeExtra[i].unit] = kEncodeExtra[i].code;
    return t;
  }();
  return table;
}

}  // namespace

std::string Encode(std::u16string_view text, bool* usedDefault) {
  const auto& table = EncodeTable();
  std::string out;
  out.resize(text.size() * 2);
  char* const start = out.data();
  char* p = start;
  bool lossy = false;
  for (const char16_t unit : text) {
    const std::uint16_t code = table[unit];
    if (code < 0x100) {
      *p++ = static_cast<char>(code);
      lossy |= code == kDefaultCode && unit != kDefaultUnit;
    } else {
      *p++ = static_cast<char>(code >> 8);
      *p++ = static_cast<char>(code & 0xFF);
    }
  }
  out.resize(static_cast<std::size_t>(p - start));
  if (usedDefault) *usedDefault = lossy;
  return out;
}

std::u16string Decode(std::string_view bytes) {
  std::u16string out;
  out.resize(bytes.size());
  char16_t* const start = out.data();
  char16_t* p = start;
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = in + bytes.size();
  while (in != end) {
    const unsigned char b = *in++;
    if (!IsLeadByte(b)) {
      *p++ = kSingleByte[b];
    } else if (in == end || *in == 0) {
      *p++ = kDefaultUnit;  // the NUL that follows is a character of its own
    } else {
      const unsigned char trail = *in++;
      *p++ = IsTrailByte(trail) ? kDoubleByte[b - kFirstLead][trail - kFirstTrail] : kDefaultUnit;
    }
  }
  out.resize(static_cast<std::size_t>(p - start));
  return out;
}

}  // namespace text::cp936
