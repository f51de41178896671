#pragma once
// Conversion between UTF-16 automation strings and the system ANSI code page.
//
// On Windows the ANSI code page is CP_ACP (936 in the series' setting); the native
// build always uses code page 936 exactly as Windows converts it (cp936.h). Conversion
// never fails: a character the code page cannot hold becomes '?' (a letter with a
// best-fit form takes that form instead, as on Windows: U+00FD becomes 'y'), and so does
// a byte sequence that is not valid in it, so the rest of the text is never lost.

#include <optional>
#include <string>
#include <string_view>

namespace text {

std::string ToAnsi(std::u16string_view text);

// The ANSI form of `text`, or nothing when some character has none and would become a
// '?' stand-in. Used where such a '?' would compare equal to a real '?' in a file. A
// best-fit form counts: it is what the ANSI functions receive.
std::optional<std::string> ToAnsiExact(std::u16string_view text);

std::u16string FromAnsi(std::string_view bytes);

// True for a byte that starts a double-byte character in the ANSI code page.
bool IsLeadByte(unsigned char byte);

// Length of `bytes` without a final lead byte that has lost its trail byte, as happens
// when a value is cut to a byte count. Walks the text from its start, since a trail
// byte can look like a lead byte.
std::size_t LengthWithoutDanglingLeadByte(std::string_view bytes);

// UTF-8 for the command line and POSIX paths. Unpaired surrogates and invalid UTF-8
// become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view bytes);

}  // namespace text
