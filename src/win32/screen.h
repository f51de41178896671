#pragma once
// The screen's resolution, for converting twips (1440 to the inch) to pixels.
#include <windows.h>

namespace win {

// Dots per inch of the screen; 96 where the platform cannot tell (32-bit programs under
// Wine's WoW64 mode get no device capabilities), so that nothing is laid out at size 0.
int ScreenDpi() noexcept;

}  // namespace win
