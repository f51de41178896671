#pragma once
// Drives a running Mendora.exe from another process, as a user would, through Win32
// messages only: finds Form1 by its class and process, reads its controls, clicks,
// chooses menu items by posting WM_COMMAND with the identifiers of form1_ids.h, and
// reads and answers the message boxes the tool shows.
#include <windows.h>

#include <filesystem>
#include <optional>

#include "wine/support/process.h"
#include "wine/support/ui.h"

namespace window_test {

using namespace wine_test;

class MendoraProcess {
 public:
  // Starts `exe` in `currentFolder` (by default its own folder, as a double click does)
  // and waits until Form1 is visible.
  explicit MendoraProcess(const std::filesystem::path& exe, const std::filesystem::path& currentFolder = {});
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
  // The exit code once the process has ended within `timeout`; nothing while it runs.
  std::optional<DWORD> ExitCodeWithin(Milliseconds timeout) const;

 private:
  StartedProgram started_;
  HWND form_ = nullptr;
};

}  // namespace window_test
