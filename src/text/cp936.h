#pragma once
// Code page 936 exactly as Windows converts it (MultiByteToWideChar and
// WideCharToMultiByte with no flags and no default character given), in portable code.
// The native build's ANSI code page; on Windows, the tests hold it against the system's
// own conversion.
//
// Into the code page, each UTF-16 unit is converted on its own: a character the code
// page lacks becomes '?', and so does each unit of a surrogate pair and a lone
// surrogate; a best-fit letter (U+00FD -> 'y') is not counted as a '?'. Out of it, a lead
// byte followed by any byte but NUL takes that byte with it and gives '?' when the pair
// is no character; a lead byte before NUL or at the end gives '?' alone.

#include <string>
#include <string_view>

#include "text/cp936_table.h"

namespace text::cp936 {

// `usedDefault`, when given, is set when some unit became the default '?'.
std::string Encode(std::u16string_view text, bool* usedDefault);
std::u16string Decode(std::string_view bytes);

}  // namespace text::cp936
