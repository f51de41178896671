// Form1's texts are wholly visible at the DPI this process and the tool run at (run at
// 96, 120 and 144 DPI by at_each_dpi.sh). The driver makes the fonts the window makes
// (the system's message font, font A from the layout table) at the same DPI and
// measures each caption with the platform's text metrics against the control's area:
// labels as static controls lay out their text, the option buttons beside their
// circle, the button inside its border.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "mendora_driver.h"
#include "win32/raii.h"
#include "window/form1_ids.h"
#include "window/form_layout.h"
#include "wine/support/program.h"
#include "wine/support/text_fit.h"

namespace window_test {
namespace {

struct Fonts {
  explicit Fonts(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    standard.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    LOGFONTW a{};
    a.lfHeight = window::FontHeightForPoints(window::kFontATenthsOfPoint, dpi);
    a.lfWeight = window::kFontAWeight;
    a.lfCharSet = static_cast<BYTE>(window::kFontACharSet);
    std::copy(window::kFontAFace.begin(), window::kFontAFace.end(), a.lfFaceName);
    fontA.reset(CreateFontIndirectW(&a));
  }
  win::unique_hfont standard, fontA;
};

TEST(Form1, EveryTextIsWhollyVisible) {
  const int dpi = CheckedDpi();
  const Fonts fonts(dpi);
  MendoraProcess mendora(ProgramFolder() / "app" / "Mendora.exe");
  RECT client{};
  GetClientRect(mendora.form(), &client);
  const int checkCircle = MulDiv(13, dpi, 96) + MulDiv(4, dpi, 96);  // the circle and the gap beside it
  const int buttonBorder = 2 * GetSystemMetrics(SM_CXEDGE);

  for (const window::FormControl& item : window::Form1Controls()) {
    if (item.caption.empty()) continue;
    SCOPED_TRACE(testing::Message() << "control " << item.id << " at " << dpi << " DPI");
    const HWND control = mendora.Control(item.id);
    ASSERT_TRUE(control);
    RECT area{};
    GetClientRect(control, &area);
    const std::wstring caption = Wide(item.caption);
    const HFONT font = item.fontA ? fonts.fontA.get() : fonts.standard.get();
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT text{};
    switch (item.kind) {
      case window::ControlKind::kLabel:
        text = TextExtent(font, caption, area.right,
                          DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0u));
        break;
      case window::ControlKind::kOption:
        text = TextExtent(font, caption, area.right, DT_SINGLELINE);
        OffsetRect(&text, checkCircle, 0);
        break;
      case window::ControlKind::kCommand:
        text = TextExtent(font, caption, area.right, DT_SINGLELINE);
        OffsetRect(&text, buttonBorder, buttonBorder);
        area.right -= buttonBorder;
        area.bottom -= buttonBorder;
        break;
      case window::ControlKind::kFrame: break;
    }
    ASSERT_FALSE(IsRectEmpty(&text)) << "the text could not be measured";
    EXPECT_LE(text.right, area.right) << "text " << text.right - text.left << " wide";
    EXPECT_LE(text.bottom, area.bottom) << "text " << text.bottom - text.top << " high";
    // The control itself lies within the window's client area.
    const RECT onForm = RectRelativeTo(control, mendora.form());
    RECT inside{};
    IntersectRect(&inside, &onForm, &client);
    EXPECT_TRUE(EqualRect(&inside, &onForm));
  }
}

}  // namespace
}  // namespace window_test
