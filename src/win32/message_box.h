#pragma once
// A modal message box of UTF-16 text.

#include <windows.h>

#include <string_view>

namespace win {

// MessageBoxW owned by `owner` (may be null) with `style`; the button pressed (IDYES, ...).
int ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view title, int style) noexcept;

}  // namespace win
