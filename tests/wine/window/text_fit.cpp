#include "text_fit.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace window_test {

int CheckedDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
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

}  // namespace window_test
