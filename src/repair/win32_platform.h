#pragma once
// The Win32 side of the repair run: process start, application folder, version
// resources (all from the toolbox in src/win32), and the window's message box and
// controls.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "repair/repair_platform.h"
#include "win32/raii.h"

namespace repair {

// The platform binding the repair tool runs with.
std::unique_ptr<RepairPlatform> MakeWin32RepairPlatform();

// The main window's part, over its real controls: MessageBoxW owned by `owner`,
// EnableWindow of `command1`, BM_GETCHECK of `option1`.
class Win32RepairWindow final : public RepairWindow {
 public:
  Win32RepairWindow(HWND owner, HWND command1, HWND option1) noexcept
      : owner_(owner), command1_(command1), option1_(option1) {}

  int ShowMessage(std::u16string_view text, std::u16string_view title, int style) override;
  void SetCommand1Enabled(bool enabled) override;
  bool Option1Selected() override;

 private:
  HWND owner_;
  HWND command1_;
  HWND option1_;
};

}  // namespace repair
