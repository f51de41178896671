#pragma once
// Drives a running Mendora.exe from another process, as a user would, through Win32
// messages only: finds Form1 by its class and process, reads its controls, clicks,
// chooses menu items by posting WM_COMMAND with the identifiers of form1_ids.h, and
// reads and answers the message boxes the tool shows.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>
#include <cstdint>

namespace window_test {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// A message box (dialog class #32770) of the tool.
struct MessageBoxSeen {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;
  bool ok = false, yes = false, no = false, cancel = false;  // its buttons
};

// Polls `condition` every 20 ms until it holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout);

std::wstring WindowText(HWND window);
// The window's rectangle in the client coordinates of its parent (or of the screen
// for a top-level window).
RECT RectInParent(HWND window);

// The screen's pixels in a rectangle (screen coordinates), as the display shows them:
// read back from the screen, not drawn again by the window.
class Screenshot {
 public:
  static Screenshot Of(const RECT& area);
  // The colour at screen point (x, y) inside the area.
  COLORREF At(int x, int y) const;

 private:
  RECT area_{};
  std::vector<std::uint32_t> pixels_;  // 0x00RRGGBB, top-down rows
};

class MendoraProcess {
 public:
  // Starts `exe` with the driver's environment and waits until Form1 is visible.
  explicit MendoraProcess(const std::filesystem::path& exe);
  MendoraProcess(const MendoraProcess&) = delete;
  MendoraProcess& operator=(const MendoraProcess&) = delete;
  // Ends the process if it still runs.
  ~MendoraProcess();

  HWND form() const { return form_; }
  // The control with `id` on Form1 or, failing that, on Frame1.
  HWND Control(int id) const;

  // Clicks a button the way the keyboard or mouse would (posted, so that the driver
  // does not wait while the click's handler shows a modal message box).
  void Click(HWND button) const;
  void ChooseMenu(int id) const;
  bool IsChecked(HWND button) const;

  // The first visible message box of the process, within `timeout`.
  std::optional<MessageBoxSeen> WaitForMessageBox(Milliseconds timeout) const;
  // Presses the button `id` (IDOK, IDYES, IDNO) and waits until the box is gone.
  void Answer(const MessageBoxSeen& box, int id) const;

  bool WaitForExit(Milliseconds timeout) const;
  bool Running() const { return !WaitForExit(0ms); }
  DWORD ExitCode() const;

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  HWND form_ = nullptr;
};

}  // namespace window_test
