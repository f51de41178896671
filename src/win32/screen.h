#pragma once
// The screen's resolution, for converting twips (1440 to the inch) to pixels, and the
// size of a text as the screen shows it.
#include <windows.h>

#include <optional>
#include <string_view>

namespace win {

// Dots per inch of the screen; 96 where the platform cannot tell (32-bit programs under
// Wine's WoW64 mode get no device capabilities), so that nothing is laid out at size 0.
int ScreenDpi() noexcept;

// The extent of `text` on one line in the font selected into `dc`; nothing when the
// platform cannot measure it (32-bit programs under Wine's WoW64 mode, whose text
// functions fail or, through DrawText, report sizes that mean nothing).
std::optional<SIZE> MeasureOneLine(HDC dc, std::wstring_view text) noexcept;

}  // namespace win
