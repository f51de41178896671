#pragma once
// Profile files stored as UTF-16LE: they start with the byte-order mark FF FE, and the
// profile functions read and write them as UTF-16 even through the ANSI functions.

#include <bit>
#include <cstring>
#include <string>
#include <string_view>

namespace profilectl {

inline constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

// The code units of `bytes`; a last odd byte is left out.
inline std::u16string DecodeUtf16Le(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    return units;
  }
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return units;
}

inline std::string EncodeUtf16Le(std::u16string_view units) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

}  // namespace profilectl
