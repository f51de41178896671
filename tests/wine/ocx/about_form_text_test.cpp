// The about form's texts are wholly visible at the DPI this process runs at (run at 96,
// 120 and 144 DPI by at_each_dpi.sh): each label's text, laid out as the label lays it
// out in the label's own font, fits inside the label, inside the form, and clear of
// the other labels' texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ocx_under_test.h"
#include "tesvar_interface.h"
#include "wine/support/text_fit.h"
#include "wine/support/ui.h"

namespace {

using ocx_test::CreateControl;
using wine_test::TextExtent;

struct Label {
  int id;
  HWND hwnd;
  RECT bounds;  // the label, in the form's client coordinates
  RECT drawn;   // where its text is drawn, in the same coordinates
};

BOOL CALLBACK CollectLabels(HWND child, LPARAM found) {
  if (_wcsicmp(wine_test::ClassName(child).c_str(), L"Static") != 0) return TRUE;
  const std::wstring text = wine_test::WindowText(child);
  const RECT bounds = wine_test::RectInParent(child);
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  // A static control wraps its text unless it is told not to.
  UINT format = DT_LEFT | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0u);
  if ((style & SS_TYPEMASK) == SS_LEFT) format |= DT_WORDBREAK;
  const auto font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
  RECT extent = TextExtent(font, text, bounds.right - bounds.left, format);
  OffsetRect(&extent, bounds.left, bounds.top);
  reinterpret_cast<std::vector<Label>*>(found)->push_back({GetDlgCtrlID(child), child, bounds, extent});
  return TRUE;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

TEST(AboutForm, EveryTextIsWhollyVisible) {
  const int dpi = wine_test::CheckedDpi();
  auto control = CreateControl<ITesvar>();
  ASSERT_TRUE(control);
  VARIANT_BOOL modeless = VARIANT_FALSE;
  ASSERT_EQ(control->Readme(&modeless), S_OK);
  HWND form = FindWindowW(L"TesvarAboutForm", nullptr);
  ASSERT_TRUE(form);
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, MulDiv(5160, dpi, 1440));

  std::vector<Label> labels;
  EnumChildWindows(form, CollectLabels, reinterpret_cast<LPARAM>(&labels));
  ASSERT_EQ(labels.size(), 9u);
  for (const Label& label : labels) {
    SCOPED_TRACE(testing::Message() << "label " << label.id << " at " << dpi << " DPI");
    ASSERT_FALSE(IsRectEmpty(&label.drawn)) << "the text could not be measured";
    EXPECT_TRUE(Inside(label.drawn, label.bounds))
        << "text " << label.drawn.right - label.drawn.left << " x " << label.drawn.bottom - label.drawn.top << " in "
        << label.bounds.right - label.bounds.left << " x " << label.bounds.bottom - label.bounds.top;
    EXPECT_TRUE(Inside(label.drawn, client));
    // The designed place is kept: a label only ever grows.
    EXPECT_GE(label.bounds.right - label.bounds.left, MulDiv(1065, dpi, 1440));
    for (const Label& other : labels) {
      RECT overlap{};
      if (&other == &label) continue;
      EXPECT_FALSE(IntersectRect(&overlap, &label.drawn, &other.drawn)) << "covers label " << other.id;
    }
  }
  // The contact line, which wrapped out of sight before, shows the whole address on
  // one line.
  const auto mail = std::find_if(labels.begin(), labels.end(), [](const Label& l) { return l.id == 101; });
  ASSERT_NE(mail, labels.end());
  const auto font = reinterpret_cast<HFONT>(SendMessageW(mail->hwnd, WM_GETFONT, 0, 0));
  EXPECT_EQ(mail->drawn.bottom - mail->drawn.top, TextExtent(font, L"信", 1000, DT_SINGLELINE).bottom);

  // ABOUT_FORM_LOOK=<seconds> keeps the form on screen that long, to look at it.
  if (const char* look = std::getenv("ABOUT_FORM_LOOK")) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(std::atoi(look)) * 1000;
    for (MSG msg; static_cast<LONG>(GetTickCount() - end) < 0;) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(20);
    }
  }
  SendMessageW(GetDlgItem(form, IDOK), BM_CLICK, 0, 0);
}

}  // namespace
