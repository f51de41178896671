// SkinH_VB6.dll: our skin library. One entry point:
//
//   int __stdcall SkinH_AttachEx(const char* skinFile, const char* password)
//
// Reads the skin file (she_format.h; the path in the ANSI code page) and gives the
// calling thread's windows its colours: those that exist now and every top-level window
// the thread creates later, message boxes included. Returns 1 when the skin is
// attached, 0 when the file is missing, unreadable or unsuitable; then nothing changes.
// Attaching again replaces the colours. Our skin files have no password: the second
// argument is accepted and not used.
//
// A skinned window is subclassed: it answers WM_CTLCOLOR* for its children with the
// skin's brushes and text colour, and fills its background with the skin's window
// colour. Skinned are top-level windows and the containers on them (child windows
// that hold controls, such as a frame): a container paints its background too, so
// that what a hidden control uncovers shows the skin and not what was drawn there.
#include <windows.h>

#include <new>
#include <string>
#include <utility>

#include "skin/she_format.h"
#include "win32/raii.h"

namespace {

// The skin of one thread. It lives as long as the thread: a skin is never detached.
struct ThreadSkin {
  skin::Skin colours{};
  win::unique_hbrush window;
  win::unique_hbrush field;
  HHOOK hook = nullptr;
};

thread_local ThreadSkin* threadSkin = nullptr;

constexpr const wchar_t* kOriginalProc = L"Kestrova.Skin.OriginalProc";

COLORREF Colour(skin::Rgb rgb) { return RGB(rgb.red, rgb.green, rgb.blue); }

LRESULT CALLBACK SkinnedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kOriginalProc));
  const ThreadSkin* skin = threadSkin;
  if (!original) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (skin) {
    const auto dc = reinterpret_cast<HDC>(wParam);
    switch (message) {
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
        SetTextColor(dc, Colour(skin->colours.text));
        SetBkColor(dc, Colour(skin->colours.window));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(skin->window.get());
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
        SetTextColor(dc, Colour(skin->colours.text));
        SetBkColor(dc, Colour(skin->colours.field));
        return reinterpret_cast<LRESULT>(skin->field.get());
      case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, skin->window.get());
        return 1;
      }
      default: break;
    }
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(hwnd, kOriginalProc);
  }
  return CallWindowProcW(original, hwnd, message, wParam, lParam);
}

void Subclass(HWND hwnd) {
  if (GetPropW(hwnd, kOriginalProc)) return;
  const LONG_PTR original = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
  if (!original || !SetPropW(hwnd, kOriginalProc, reinterpret_cast<HANDLE>(original))) return;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkinnedProc));
}

// Windows that hold controls get the skin: top-level windows and containers.
BOOL CALLBACK SubclassContainer(HWND child, LPARAM) {
  if (GetWindow(child, GW_CHILD)) Subclass(child);
  return TRUE;
}

BOOL CALLBACK SubclassTopLevel(HWND hwnd, LPARAM) {
  Subclass(hwnd);
  EnumChildWindows(hwnd, SubclassContainer, 0);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return TRUE;
}

// Top-level windows the thread creates later, message boxes among them.
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam);
    if ((create->lpcs->style & WS_CHILD) == 0) Subclass(reinterpret_cast<HWND>(wParam));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool ReadSkinFile(const char* path, std::string& bytes) {
  const win::unique_handle file(
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bytes.resize(skin::kMaxSkinFileSize + 1);
  DWORD read = 0;
  const bool ok = ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) != FALSE;
  bytes.resize(read);
  return ok;
}

}  // namespace

extern "C" int WINAPI SkinH_AttachEx(const char* skinFile, const char* /*password*/) {
  if (!skinFile) return 0;
  std::string bytes;
  if (!ReadSkinFile(skinFile, bytes)) return 0;
  const auto colours = skin::ParseSkin(bytes);
  if (!colours) return 0;
  win::unique_hbrush window(CreateSolidBrush(Colour(colours->window)));
  win::unique_hbrush field(CreateSolidBrush(Colour(colours->field)));
  if (!window || !field) return 0;

  if (!threadSkin) threadSkin = new (std::nothrow) ThreadSkin;
  if (!threadSkin) return 0;
  ThreadSkin& skin = *threadSkin;
  skin.colours = *colours;
  skin.window = std::move(window);
  skin.field = std::move(field);
  if (!skin.hook) skin.hook = SetWindowsHookExW(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
  EnumThreadWindows(GetCurrentThreadId(), SubclassTopLevel, 0);
  return 1;
}
