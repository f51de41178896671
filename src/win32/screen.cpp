#include "win32/screen.h"

namespace win {

int ScreenDpi() noexcept {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

std::optional<SIZE> MeasureOneLine(HDC dc, std::wstring_view text) noexcept {
  SIZE extent{};
  if (!dc || !GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent)) return std::nullopt;
  return extent;
}

}  // namespace win
