#include "wine/support/text_fit.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "win32/screen.h"

namespace wine_test {

int CheckedDpi() {
  const int dpi = win::ScreenDpi();
  if (const char* expected = std::getenv("EXPECTED_DPI")) {
    EXPECT_EQ(dpi, std::atoi(expected));
  }
  return dpi;
}

RECT TextExtent(HFONT font, const std::wstring& text, int width, UINT format) {
  RECT extent{0, 0, width, 0};
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  if (DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent, format | DT_CALCRECT) <= 0) extent = {};
  SelectObject(dc, old);
  DeleteDC(dc);
  return extent;
}

}  // namespace wine_test
