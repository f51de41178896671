#include "window/form1.h"

#include <algorithm>
#include <optional>
#include <string>

#include "repair/repair_run.h"
#include "ui/label_fit.h"
#include "window/form1_ids.h"
#include "window/form_layout.h"
#include "window/resource.h"
#include "window/skin_loader.h"
#include "win32/message_box.h"
#include "win32/module.h"
#include "win32/process.h"
#include "win32/screen.h"
#include "win32/wide.h"
#include "win32/window_class.h"

namespace window {

using ui::AutoSizeLabel;
using ui::PixelSize;

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // fixed single border, no min/max
constexpr DWORD kExStyle = WS_EX_APPWINDOW;

using win::Wide;

struct MenuItem {
  int id;
  const wchar_t* caption;
};
constexpr MenuItem kMenu[] = {
    {ids::kMenuSm, L"软件说明"},
    {ids::kMenuKsv, L"Kestrova官网"},
    {ids::kMenuVimble, L"Ostrel公司官网"},
    {ids::kMenuEndd, L"退出软件"},
};

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD exStyle;
};

ControlClass ClassFor(const FormControl& item, bool firstOption) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  switch (item.kind) {
    case ControlKind::kFrame:
      // A container: the dialog navigation walks into it, and it paints its own
      // background under its controls (FrameProc).
      return {L"BUTTON", kChild | WS_CLIPCHILDREN | BS_GROUPBOX, WS_EX_CONTROLPARENT};
    case ControlKind::kOption:
      // The first option button of the container starts the group.
      return {L"BUTTON", kChild | WS_TABSTOP | BS_AUTORADIOBUTTON | (firstOption ? WS_GROUP : 0u), 0};
    case ControlKind::kCommand:
      return {L"BUTTON", kChild | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON | WS_DISABLED, 0};
    case ControlKind::kLabel:
      // SS_NOTIFY lets a label take the mouse, so that it can show a pointer of its own.
      return {L"STATIC", kChild | WS_GROUP | SS_NOPREFIX | (item.handPointer ? SS_NOTIFY | SS_CENTER : SS_LEFT), 0};
  }
  return {};
}

// The extent of a control's text on one line in its font; nothing when the platform
// cannot measure it.
std::optional<PixelSize> MeasureOneLine(HWND control) {
  wchar_t text[256] = {};
  const int length = GetWindowTextW(control, text, 256);
  HDC dc = GetDC(control);
  if (!dc) return std::nullopt;
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  const std::optional<SIZE> extent = win::MeasureOneLine(dc, std::wstring_view(text, length > 0 ? length : 0));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (!extent) return std::nullopt;
  return PixelSize{extent->cx, extent->cy};
}

}  // namespace

Form1::Form1(HINSTANCE instance) : instance_(instance), repairPlatform_(repair::MakeWin32RepairPlatform()) {}

Form1::~Form1() {
  if (hwnd_) DestroyWindow(hwnd_);
}

HRESULT Form1::Create(HINSTANCE instance, int show, std::unique_ptr<Form1>& form) noexcept try {
  form.reset(new Form1(instance));
  Form1& self = *form;

  RETURN_IF_FAILED(win::RegisterWindowClass(instance, ids::kForm1Class, WindowProc));

  HMENU menu = CreateMenu();
  RETURN_LAST_ERROR_IF(!menu);
  for (const MenuItem& item : kMenu) AppendMenuW(menu, MF_STRING, item.id, item.caption);

  self.dpi_ = win::ScreenDpi();
  RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, self.dpi_), TwipsToPixels(kClientHeightTwips, self.dpi_)};
  AdjustWindowRectEx(&frame, kStyle, TRUE, kExStyle);
  const std::u16string caption(kDesignCaption);
  HWND hwnd = CreateWindowExW(kExStyle, ids::kForm1Class, Wide(caption), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, menu, instance, &self);
  if (!hwnd) {
    DestroyMenu(menu);
    return win::LastErrorAsFailure();
  }
  RETURN_IF_FAILED(self.CreateControls());
  self.Load();

  // The menu bar may take more than one line: the client area is what has to fit.
  RECT client{};
  GetClientRect(hwnd, &client);
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  const int width = outer.right - outer.left + TwipsToPixels(kClientWidthTwips, self.dpi_) - client.right;
  const int height = outer.bottom - outer.top + TwipsToPixels(kClientHeightTwips, self.dpi_) - client.bottom;
  SetWindowPos(hwnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  return S_OK;
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

HRESULT Form1::CreateControls() noexcept {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    defaultFont_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
  LOGFONTW fontA{};
  fontA.lfHeight = FontHeightForPoints(kFontATenthsOfPoint, dpi_);
  fontA.lfWeight = kFontAWeight;
  fontA.lfCharSet = static_cast<BYTE>(kFontACharSet);
  fontA.lfQuality = DEFAULT_QUALITY;
  std::copy(kFontAFace.begin(), kFontAFace.end(), fontA.lfFaceName);
  fontA_.reset(CreateFontIndirectW(&fontA));
  hand_ = LoadCursorW(instance_, MAKEINTRESOURCEW(IDC_HAND_POINTER));

  bool firstOption = true;
  for (const FormControl& item : Form1Controls()) {
    const ControlClass kind = ClassFor(item, firstOption && item.kind == ControlKind::kOption);
    if (item.kind == ControlKind::kOption) firstOption = false;
    const PixelRect at = ToPixels(item.rect, dpi_);
    HWND parent = item.container == Container::kWindow ? hwnd_ : Control(ids::kFrame1);
    const std::u16string caption(item.caption);
    HWND control = CreateWindowExW(kind.exStyle, kind.name, Wide(caption), kind.style, at.left, at.top, at.width,
                                   at.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)),
                                   instance_, nullptr);
    RETURN_LAST_ERROR_IF(!control);
    controls_.at(static_cast<std::size_t>(item.id - ids::kFrame1)) = control;
    HFONT font = item.fontA ? fontA_.get() : defaultFont_.get();
    if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (item.kind == ControlKind::kFrame) {
      // Frame1 holds controls, but a group box neither passes on what they report nor
      // paints its interior.
      SetWindowLongPtrW(control, GWLP_USERDATA, GetWindowLongPtrW(control, GWLP_WNDPROC));
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameProc));
    }
  }
  SendMessageW(Control(ids::kOption1_1), BM_SETCHECK, BST_CHECKED, 0);
  FitLabelToText(Control(ids::kLabel2));

  repairPrompter_.emplace(hwnd_);
  checkPlatform_.emplace(hwnd_);
  check_.emplace(*checkPlatform_, *this);
  return S_OK;
}

// Start-up, the load of Form1: Timer2 starts counting, then the icon goes, the skin is
// attached and the caption shows the program's version.
void Form1::Load() {
  SetTimer(hwnd_, ids::kTimer2, 1000, nullptr);
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, 0);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, 0);
  std::u16string folder;
  if (SUCCEEDED(win::GetApplicationFolder(folder))) AttachSkin(folder);
  std::u16string self;
  win::FileVersion version = 0;
  if (SUCCEEDED(win::GetModulePath(nullptr, self)) && SUCCEEDED(win::GetFileVersion(self, version)))
    SetWindowTextW(hwnd_, Wide(CaptionForFileVersion(version)));
}

// Label2 sizes itself to its text. Where the text cannot be measured (32-bit programs
// under Wine's WoW64 mode), it keeps its designed size.
void Form1::FitLabelToText(HWND label) {
  RECT designed{};
  GetWindowRect(label, &designed);
  const PixelSize size = AutoSizeLabel({designed.right - designed.left, designed.bottom - designed.top},
                                       MeasureOneLine(label));
  SetWindowPos(label, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Form1::Control(int id) const { return controls_.at(static_cast<std::size_t>(id - ids::kFrame1)); }

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
  }
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK Form1::FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    case WM_ERASEBKGND: {
      // D15: the frame fills its interior with the colour the window gives its
      // controls (the skin's, when one is attached), so that what a hidden or moved
      // control uncovers, Label2 after the check, is painted over.
      const auto dc = reinterpret_cast<HDC>(wParam);
      auto brush = reinterpret_cast<HBRUSH>(
          SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(hwnd)));
      if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
      RECT client{};
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, brush);
      return 1;
    }
    default:
      return CallWindowProcW(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)), hwnd, message, wParam,
                             lParam);
  }
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_TIMER: if (wParam == ids::kTimer2) check_->Tick(); return 0;
    case WM_SETCURSOR: if (OnSetCursor(reinterpret_cast<HWND>(wParam))) return TRUE; break;
    case WM_CTLCOLORSTATIC: return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Form1::OnCommand(int id, int code) {
  switch (id) {
    case ids::kCommand1_0:
      // A disabled button takes no click, whatever reaches it.
      if (code == BN_CLICKED && IsWindowEnabled(Control(ids::kCommand1_0))) OnRepairClick();
      break;
    case ids::kMenuSm: ShowHelp(*this); break;
    case ids::kMenuKsv: OpenBrandSite(*this); break;
    case ids::kMenuVimble: OpenPartnerSite(*this); break;
    case ids::kMenuEndd: Exit(*this); break;
    default: break;
  }
}

// The click of Command1(0): after the confirmation, the run for the chosen system with
// the button disabled until the report has been closed. Declined, nothing changes.
void Form1::OnRepairClick() {
  if (!repair::ConfirmRepair(*repairPrompter_)) return;
  HWND button = Control(ids::kCommand1_0);
  EnableWindow(button, FALSE);
  const bool system32 = SendMessageW(Control(ids::kOption1_0), BM_GETCHECK, 0, 0) == BST_CHECKED;
  repair::RunRepair(system32 ? repair::RepairTarget::System32 : repair::RepairTarget::SysWOW64, *repairPrompter_,
                    *repairPlatform_);
  EnableWindow(button, TRUE);
}

bool Form1::OnSetCursor(HWND over) {
  if (!hand_) return false;
  for (const FormControl& item : Form1Controls()) {
    if (item.handPointer && Control(item.id) == over) {
      SetCursor(hand_);
      return true;
    }
  }
  return false;
}

LRESULT Form1::OnCtlColorStatic(HDC dc, HWND control) {
  // Label3 has a transparent background: the window shows through around its text.
  if (control != Control(ids::kLabel3))
    return DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

void Form1::FinishCheck() {
  ShowWindow(Control(ids::kLabel2), SW_HIDE);
  EnableWindow(Control(ids::kCommand1_0), TRUE);
}

void Form1::StopTimer() { KillTimer(hwnd_, ids::kTimer2); }

// The check has decided that the program ends: nothing else of the window may run.
void Form1::EndProgram() { ExitProcess(0); }

void Form1::ShowMessage(std::u16string_view text, std::u16string_view title, int style) {
  win::ShowMessageBox(hwnd_, text, title, style);
}

void Form1::StartProcess(std::u16string_view commandLine, int showWindow) {
  if (SUCCEEDED(win::StartSystemProgram(win::SystemProgram::kExplorer, commandLine, showWindow))) return;
  // The user asked for a web site; say which one could not be opened.
  std::u16string text = u"无法打开网页浏览器，请手动访问：\r\n";
  text += commandLine.substr(std::min(commandLine.find(u' ') + 1, commandLine.size()));
  win::ShowMessageBox(hwnd_, text, u"提示", MB_OK | MB_ICONEXCLAMATION);
}

void Form1::CloseWindow() { DestroyWindow(hwnd_); }

int RunForm1(HINSTANCE instance, int show) {
  std::unique_ptr<Form1> form;
  if (FAILED(Form1::Create(instance, show, form))) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move the focus as in a dialog.
    if (form->hwnd() && IsDialogMessageW(form->hwnd(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace window
