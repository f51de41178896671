#pragma once
// The portable core keeps text as UTF-16 in char16_t; Windows' W functions take the
// same units as wchar_t (two bytes with this toolchain). These views convert between
// the two without copying. Header-only, so that the lowest libraries (text, fileio) can
// use it too.

#include <string>
#include <string_view>

namespace win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t holds one UTF-16 unit");

// A NUL-terminated wide string of `text`, valid as long as `text` is.
inline const wchar_t* Wide(const std::u16string& text) noexcept { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// The wide view of UTF-16 units (not NUL-terminated).
inline std::wstring_view WideView(std::u16string_view text) noexcept {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

// The UTF-16 view of wide units (not NUL-terminated).
inline std::u16string_view Utf16View(std::wstring_view text) noexcept {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

// A writable wide pointer into a UTF-16 buffer, for the W functions that fill one.
inline wchar_t* WideBuffer(char16_t* units) noexcept { return reinterpret_cast<wchar_t*>(units); }

}  // namespace win
