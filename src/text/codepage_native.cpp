// The ANSI code page of the native build: code page 936 as Windows converts it.
#include "text/codepage.h"
#include "text/cp936.h"

namespace text {
namespace {

bool IsAscii(std::u16string_view s) {
  for (char16_t u : s)
    if (u >= 0x80) return false;
  return true;
}

bool IsAscii(std::string_view s) {
  for (char b : s)
    if (static_cast<unsigned char>(b) >= 0x80) return false;
  return true;
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  if (IsAscii(text)) return std::string(text.begin(), text.end());
  return cp936::Encode(text, nullptr);
}

std::optional<std::string> ToAnsiExact(std::u16string_view text) {
  if (IsAscii(text)) return std::string(text.begin(), text.end());
  bool lossy = false;
  std::string bytes = cp936::Encode(text, &lossy);
  if (lossy) return std::nullopt;
  return bytes;
}

std::u16string FromAnsi(std::string_view bytes) {
  if (IsAscii(bytes)) return std::u16string(bytes.begin(), bytes.end());
  return cp936::Decode(bytes);
}

bool IsLeadByte(unsigned char byte) { return cp936::IsLeadByte(byte); }

}  // namespace text
