#include "wine/support/ui.h"

#include <utility>

#include "wine/support/process.h"

namespace wine_test {
namespace {

bool ClassIs(HWND window, const wchar_t* className) { return !className || ClassName(window) == className; }

bool HasButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  return button && IsWindowVisible(button);
}

struct Search {
  const std::function<bool(HWND)>& match;
  HWND found = nullptr;
};

// Enumeration procedures are stdcall on 32-bit Windows, which a lambda cannot be.
BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(window) || !search.match(window)) return TRUE;
  search.found = window;
  return FALSE;
}

}  // namespace

std::wstring WindowText(HWND window) {
  std::wstring text(8192, L'\0');
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK, 5000,
                      &length);
  text.resize(length < text.size() ? length : 0);
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256];
  const int n = GetClassNameW(window, name, 256);
  return std::wstring(name, n > 0 ? n : 0);
}

RECT RectRelativeTo(HWND window, HWND reference) {
  RECT rect{};
  GetWindowRect(window, &rect);
  if (reference) MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT RectInParent(HWND window) { return RectRelativeTo(window, GetParent(window)); }

HWND FindVisibleWindow(const std::function<bool(HWND)>& match) {
  Search search{match};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindVisibleChild(HWND parent, const std::function<bool(HWND)>& match) {
  Search search{match};
  EnumChildWindows(parent, Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::function<bool(HWND)> OfProcess(DWORD pid, const wchar_t* className) {
  return [pid, className](HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == pid && ClassIs(window, className);
  };
}

std::function<bool(HWND)> OfThread(DWORD tid, const wchar_t* className) {
  return [tid, className](HWND window) {
    return GetWindowThreadProcessId(window, nullptr) == tid && ClassIs(window, className);
  };
}

MessageBoxSeen ReadMessageBox(HWND box) {
  MessageBoxSeen seen;
  seen.hwnd = box;
  seen.owner = GetWindow(box, GW_OWNER);
  seen.title = WindowText(box);
  seen.text = WindowText(GetDlgItem(box, 0xFFFF));
  seen.ok = HasButton(box, IDOK);
  seen.yes = HasButton(box, IDYES);
  seen.no = HasButton(box, IDNO);
  seen.cancel = HasButton(box, IDCANCEL);
  return seen;
}

void PressButton(HWND window, int id) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

BoxAnswerer::BoxAnswerer(std::function<bool(HWND)> match, int yesNo)
    : match_(std::move(match)), yesNo_(yesNo), thread_([this] { Loop(); }) {}

BoxAnswerer::~BoxAnswerer() {
  stop_ = true;
  thread_.join();
}

std::vector<MessageBoxSeen> BoxAnswerer::Seen() {
  std::lock_guard lock(mutex_);
  return seen_;
}

void BoxAnswerer::Loop() {
  while (!stop_) {
    const HWND box = FindVisibleWindow([this](HWND window) { return match_(window) && ClassIs(window, L"#32770"); });
    if (!box) {
      Sleep(20);
      continue;
    }
    const MessageBoxSeen seen = ReadMessageBox(box);
    {
      std::lock_guard lock(mutex_);
      seen_.push_back(seen);
    }
    PressButton(box, seen.yes ? yesNo_ : IDOK);
    WaitUntil([&] { return stop_ || !IsWindow(box) || !IsWindowVisible(box); }, 10s);
  }
}

Canvas::Canvas(int width, int height) {
  HDC screen = GetDC(nullptr);
  dc_ = CreateCompatibleDC(screen);
  bitmap_ = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  old_ = SelectObject(dc_, bitmap_);
}

Canvas::Canvas(const RECT& area) : Canvas(area.right - area.left, area.bottom - area.top) {
  origin_ = {area.left, area.top};
  HDC screen = GetDC(nullptr);
  BitBlt(dc_, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
}

Canvas::~Canvas() {
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void Canvas::Fill(int stockBrush) {
  BITMAP size{};
  GetObjectW(bitmap_, sizeof size, &size);
  const RECT all{0, 0, size.bmWidth, size.bmHeight};
  FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(stockBrush)));
}

COLORREF Canvas::At(int x, int y) const { return GetPixel(dc_, x - origin_.x, y - origin_.y); }

}  // namespace wine_test
