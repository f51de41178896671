#pragma once
// Form1, the repair tool's only window. Windows only.
//
// The window is built from the table in form_layout.h with standard controls (a group
// box for Frame1 that paints its own background, option buttons, a push button, static
// labels) and a menu bar of
// four items. Its messages go to HandleMessage, and each handler is one call into the
// parts it routes to: Command1(0) to the repair run, Timer2 to the version check, the
// menu items to menu_commands.h. It lends those parts what they need of it: the
// message boxes, Label2 and Timer2. The repair's target (Option1) and Command1(0)
// during the run are its own.

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "repair/repair_platform.h"
#include "repair/repair_win32_binding.h"
#include "update/version_check.h"
#include "update/update_win32_binding.h"
#include "win32/raii.h"
#include "window/menu_commands.h"

namespace window {

class Form1 final : public update::CheckWindow, public MenuHost {
 public:
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;
  ~Form1() override;

  // Creates the window and its controls, runs start-up and shows the window.
  [[nodiscard]] static HRESULT Create(HINSTANCE instance, int show, std::unique_ptr<Form1>& form) noexcept;

  HWND hwnd() const noexcept { return hwnd_; }

  // update::CheckWindow
  void FinishCheck() override;
  void StopTimer() override;
  void EndProgram() override;

  // MenuHost
  void ShowMessage(std::u16string_view text, std::u16string_view title, int style) override;
  void StartProcess(std::u16string_view commandLine, int showWindow) override;
  void CloseWindow() override;

 private:
  explicit Form1(HINSTANCE instance);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HRESULT CreateControls() noexcept;
  void Load();
  void OnCommand(int id, int code);
  void OnRepairClick();
  bool OnSetCursor(HWND over);
  LRESULT OnCtlColorStatic(HDC dc, HWND control);
  void FitLabelToText(HWND label);

  HWND Control(int id) const;

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  win::unique_hfont defaultFont_;
  win::unique_hfont fontA_;
  HCURSOR hand_ = nullptr;
  std::array<HWND, 6> controls_{};  // by id, from ids::kFrame1

  std::unique_ptr<repair::RepairPlatform> repairPlatform_;
  std::optional<repair::Win32Prompter> repairPrompter_;
  std::optional<update::Win32CheckPlatform> checkPlatform_;
  std::optional<update::VersionCheck> check_;
};

// Creates Form1 and runs the thread's message loop until the window is gone; the exit
// code of the program.
int RunForm1(HINSTANCE instance, int show);

}  // namespace window
