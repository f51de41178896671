#pragma once
// The Win32 side of the repair run: the registrations (the system folder's regsvr32, by
// its full path), application folder, version resources (all from the toolbox in
// src/win32), and the window's message box.

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

// The main window's message box: MessageBoxW owned by `owner`.
class Win32Prompter final : public Prompter {
 public:
  explicit Win32Prompter(HWND owner) noexcept : owner_(owner) {}

  int ShowMessage(std::u16string_view text, std::u16string_view title, int style) override;

 private:
  HWND owner_;
};

}  // namespace repair
