#pragma once
// Whether a control's text is wholly visible: measured with the platform's own text
// metrics in the control's font, laid out as the control lays it out.
#include <windows.h>

#include <string>

namespace wine_test {

// The DPI this process runs at; fails the test when EXPECTED_DPI names another.
int CheckedDpi();

// The rectangle that `text` takes in `font` when drawn from the top left corner of an
// area `width` pixels wide with the DrawText `format` (DT_WORDBREAK, DT_SINGLELINE, ...).
// An empty rectangle when the text could not be measured.
RECT TextExtent(HFONT font, const std::wstring& text, int width, UINT format);

}  // namespace wine_test
