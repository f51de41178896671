// The system ANSI code page on Windows.
#include <windows.h>

#include "text/codepage.h"
#include "win32/wide.h"

namespace text {
namespace {

std::string Encode(std::u16string_view text, BOOL* lossy) {
  if (text.empty()) return {};
  const wchar_t* wide = win::WideView(text).data();
  const int count = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, lossy);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, count, out.data(), size, nullptr, lossy);
  return out;
}

}  // namespace

std::string ToAnsi(std::u16string_view text) { return Encode(text, nullptr); }

std::optional<std::string> ToAnsiExact(std::u16string_view text) {
  BOOL lossy = FALSE;
  std::string bytes = Encode(text, &lossy);
  if (lossy) return std::nullopt;
  return bytes;
}

std::u16string FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int count = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(size), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, win::WideBuffer(out.data()), size);
  return out;
}

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace text
