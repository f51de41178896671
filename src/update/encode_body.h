#pragma once
// Escaping of a form body before the POST sends it.
//
// Each UTF-16 unit of the text is classified by its code in the ANSI code page, taken
// as a signed 16-bit number: a single-byte character gives 0 to 255, a double-byte
// character lead * 256 + trail (negative, since a lead byte is 0x80 or above), and a
// unit the code page cannot hold counts as '?' (63). A unit whose code has an absolute
// value below 255 is kept as it is; any other becomes "%" HIGH "%" LOW, the two bytes
// of the unsigned code in upper-case hex without leading zeros. So on code page 936
// only double-byte characters (and the single byte 0xFF) are escaped: "中" becomes
// "%D6%D0", while space, '%', '&', '=' and '+' pass unchanged.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace update {

// The signed 16-bit ANSI code of one UTF-16 unit, as described above.
std::int16_t AnsiCode(char16_t unit);

std::u16string EncodeBody(std::u16string_view text);

// EncodeBody with the codes taken from `code` instead of the ANSI code page.
std::u16string EncodeBody(std::u16string_view text, const std::function<std::int16_t(char16_t)>& code);

}  // namespace update
