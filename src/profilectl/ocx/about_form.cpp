#include "about_form.h"

#include <iterator>
#include <new>
#include <optional>

#include "module.h"
#include "tesvar_identity.h"
#include "ui/label_fit.h"
#include "ui/twips.h"
#include "win32/raii.h"
#include "win32/screen.h"
#include "win32/window_class.h"

namespace tesvar {
namespace {

// The form's layout in twips (left, top, width, height), converted at the real DPI.
struct Item {
  int id;
  const wchar_t* className;  // nullptr: the icon, painted by the form
  const wchar_t* text;
  int left, top, width, height;
  DWORD style;
};

constexpr int kClientWidthTwips = 5160;
constexpr int kClientHeightTwips = 2775;
constexpr int kIconItem = 0;

constexpr Item kItems[] = {
    {kIconItem, nullptr, nullptr, 180, 300, 1200, 1260, 0},
    {108, L"STATIC", L"开发语言：C++（Win32 与 COM）", 1530, 180, 3525, 285, SS_LEFT},
    {102, L"STATIC", L"作者：Kestrova 软件工作室", 1530, 495, 3465, 285, SS_LEFT},
    {106, L"STATIC", L"制群：我一手搞定", 1530, 810, 3720, 255, SS_LEFT},
    {103, L"STATIC", L"权限：所有人", 1515, 1155, 3570, 240, SS_LEFT},
    // Label7 stands over the right part of Label3's row, so it is created after it.
    {107, L"STATIC", L"类限：共享", 2820, 1140, 1065, 210, SS_LEFT},
    {104, L"STATIC", L"运行：Win9x/XP/2000", 1500, 1500, 2430, 225, SS_LEFT},
    {105, L"STATIC", L"如果您有意见或建议请通过下列方式联系本人！", 180, 1860, 4800, 270, SS_LEFT},
    {101, L"STATIC", L"信箱：support@example.com", 180, 2220, 2115, 195, SS_LEFT},
    {109, L"STATIC", L"即时通讯：000000", 180, 2460, 2115, 195, SS_LEFT},
    {IDOK, L"BUTTON", L"&OK", 3780, 2280, 1200, 330, BS_DEFPUSHBUTTON | WS_TABSTOP},
};

using ui::TwipsToPixels;

RECT ItemRect(const Item& item, int dpi) {
  const int left = TwipsToPixels(item.left, dpi), top = TwipsToPixels(item.top, dpi);
  return {left, top, left + TwipsToPixels(item.width, dpi), top + TwipsToPixels(item.height, dpi)};
}

bool IsLabel(const Item& item) { return item.className && lstrcmpW(item.className, L"STATIC") == 0; }

// The extent of a text on one line in the font selected into `dc`; nothing when the
// platform cannot measure it.
std::optional<ui::PixelSize> MeasureOneLine(HDC dc, const wchar_t* text) {
  const std::optional<SIZE> extent = win::MeasureOneLine(dc, text);
  if (!extent) return std::nullopt;
  return ui::PixelSize{extent->cx, extent->cy};
}

// The form's state, kept with its window.
struct FormState {
  win::unique_hfont font;
  win::unique_hicon icon;
  int dpi = 96;
};

FormState* State(HWND form) { return reinterpret_cast<FormState*>(GetWindowLongPtrW(form, GWLP_USERDATA)); }

bool OnCreate(HWND form) {
  auto* state = new (std::nothrow) FormState;
  if (!state) return false;
  SetWindowLongPtrW(form, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  module::Lock();  // an open form keeps the server loaded
  state->dpi = win::ScreenDpi();
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    state->font.reset(CreateFontIndirectW(&metrics.lfMessageFont));
  }
  const int iconSide = TwipsToPixels(480, state->dpi);  // 32 pixels at 96 DPI
  state->icon.reset(static_cast<HICON>(
      LoadImageW(module::Handle(), MAKEINTRESOURCEW(kIconId), IMAGE_ICON, iconSide, iconSide, 0)));
  if (state->icon) {
    SendMessageW(form, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state->icon.get()));
    SendMessageW(form, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state->icon.get()));
  }

  // A label keeps its designed place and size where its text fits; where the text
  // would wrap or be cut, the label grows to show it whole on one line.
  HDC measure = GetDC(form);
  HGDIOBJ oldFont = measure ? SelectObject(measure, state->font ? state->font.get() : GetStockObject(SYSTEM_FONT)) : nullptr;
  bool created = true;
  for (const Item& item : kItems) {
    if (!item.className) continue;
    const RECT r = ItemRect(item, state->dpi);
    ui::LabelFit fit{{r.right - r.left, r.bottom - r.top}, false};
    if (IsLabel(item)) fit = ui::FitLabel(fit.size, MeasureOneLine(measure, item.text));
    const DWORD style = fit.oneLine ? (item.style & ~SS_TYPEMASK) | SS_LEFTNOWORDWRAP : item.style;
    HWND child = CreateWindowExW(0, item.className, item.text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                 fit.size.width, fit.size.height, form,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), module::Handle(), nullptr);
    if (!child) {
      created = false;
      break;
    }
    if (state->font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(state->font.get()), FALSE);
  }
  if (measure) {
    SelectObject(measure, oldFont);
    ReleaseDC(form, measure);
  }
  return created;
}

void OnPaint(HWND form) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(form, &paint);
  if (FormState* state = State(form); state && state->icon) {
    const RECT r = ItemRect(kItems[kIconItem], state->dpi);
    const int side = TwipsToPixels(480, state->dpi);
    DrawIconEx(dc, r.left, r.top, state->icon.get(), side, side, 0, nullptr, DI_NORMAL);
  }
  EndPaint(form, &paint);
}

void OnNcDestroy(HWND form) {
  FormState* state = State(form);
  SetWindowLongPtrW(form, GWLP_USERDATA, 0);
  if (!state) return;
  delete state;
  module::Unlock();
  // Wakes a modal loop that waits in GetMessage while the form closed through a sent
  // message.
  PostMessageW(nullptr, WM_NULL, 0, 0);
}

LRESULT CALLBACK FormProc(HWND form, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(form) ? 0 : -1;
    case WM_PAINT: OnPaint(form); return 0;
    case WM_COMMAND:
      // "&OK" unloads the form; Escape (IDCANCEL from the dialog manager) does too.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(form);
      return 0;
    case WM_NCDESTROY: OnNcDestroy(form); break;
  }
  return DefWindowProcW(form, message, wParam, lParam);
}

HRESULT RegisterFormClass() { return win::RegisterWindowClass(module::Handle(), kAboutFormClass, FormProc); }

HWND CreateForm(HWND owner) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  const int dpi = win::ScreenDpi();
  RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  // Centred on the owner's screen area.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int left = work.left + ((work.right - work.left) - width) / 2;
  const int top = work.top + ((work.bottom - work.top) - height) / 2;
  return CreateWindowExW(exStyle, kAboutFormClass, L"关于..", style, left, top, width, height, owner, nullptr,
                         module::Handle(), nullptr);
}

BOOL CALLBACK FindFormOfThread(HWND window, LPARAM found) {
  wchar_t name[64];
  if (GetClassNameW(window, name, static_cast<int>(std::size(name))) && lstrcmpW(name, kAboutFormClass) == 0) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// Runs the form's own message loop until it is closed. A WM_QUIT ends the loop and is
// posted again for the host's loop.
void RunModal(HWND form, HWND owner) {
  HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  const bool disabledOwner = top && IsWindowEnabled(top);
  if (disabledOwner) EnableWindow(top, FALSE);
  MSG msg;
  while (IsWindow(form)) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    if (!IsDialogMessageW(form, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (disabledOwner) {
    EnableWindow(top, TRUE);
    SetActiveWindow(top);
  }
}

}  // namespace

HWND FindAboutForm() noexcept {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindFormOfThread, reinterpret_cast<LPARAM>(&found));
  return found;
}

HRESULT ShowAboutForm(HWND owner, bool modal) noexcept {
  HWND form = FindAboutForm();
  if (!form) {
    RETURN_IF_FAILED(RegisterFormClass());
    form = CreateForm(owner);
    RETURN_LAST_ERROR_IF(!form);
  }
  ShowWindow(form, SW_SHOWNORMAL);
  SetForegroundWindow(form);
  if (HWND ok = GetDlgItem(form, IDOK)) SetFocus(ok);
  if (modal) RunModal(form, owner);
  return S_OK;
}

void UnregisterAboutFormClass() noexcept { UnregisterClassW(kAboutFormClass, module::Handle()); }

}  // namespace tesvar
