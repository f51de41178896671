#pragma once
// Windows looked at from outside, as a user or a test driver sees them: found among the
// top-level windows, read through messages (also across processes), message boxes read
// and answered, and pixels read back from a bitmap or the screen.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wine_test {

// The window's text through WM_GETTEXT, which also reaches the windows of other
// processes, and its class name.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// The window's rectangle in the client coordinates of `reference`, by default its
// parent (the screen for a top-level window).
RECT RectRelativeTo(HWND window, HWND reference);
RECT RectInParent(HWND window);

// The first visible top-level window, or child window of `parent`, that `match`
// accepts, or null.
HWND FindVisibleWindow(const std::function<bool(HWND)>& match);
HWND FindVisibleChild(HWND parent, const std::function<bool(HWND)>& match);
// A match for the windows of `className` (null: any class) of process `pid`, or of
// thread `tid`.
std::function<bool(HWND)> OfProcess(DWORD pid, const wchar_t* className = nullptr);
std::function<bool(HWND)> OfThread(DWORD tid, const wchar_t* className = nullptr);

// A message box (dialog class #32770) as the user sees it.
struct MessageBoxSeen {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::wstring title;
  std::wstring text;
  bool ok = false, yes = false, no = false, cancel = false;  // its buttons
};
MessageBoxSeen ReadMessageBox(HWND box);

// Presses the button `id` of `window` as a click notifies its parent. Posted: a
// BM_CLICK from another process is lost now and then by 32-bit windows under Wine's
// WoW64 mode, and the sender does not wait for what the click starts.
void PressButton(HWND window, int id);

// Answers, from a thread of its own, the message boxes of the process or thread that
// `match` names: `yesNo` (IDYES or IDNO) where a box asks, OK otherwise. Notes each box.
class BoxAnswerer {
 public:
  BoxAnswerer(std::function<bool(HWND)> match, int yesNo);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  std::vector<MessageBoxSeen> Seen();

 private:
  void Loop();

  std::function<bool(HWND)> match_;
  int yesNo_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<MessageBoxSeen> seen_;
  std::thread thread_;
};

// A bitmap compatible with the screen in a memory device context, to draw into and
// read pixels from.
class Canvas {
 public:
  Canvas(int width, int height);
  // What the screen shows in `area` (screen coordinates), read back from the display,
  // not drawn again by the windows; At() then takes screen coordinates.
  explicit Canvas(const RECT& area);
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas();

  HDC dc() const { return dc_; }
  void Fill(int stockBrush);
  // The colour at (x, y); CLR_INVALID outside the canvas.
  COLORREF At(int x, int y) const;

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  POINT origin_{};
};

}  // namespace wine_test
