#pragma once
// The Windows side of the version check's platform services: PostBody through
// XMLHTTP, MessageBoxW owned by the main window, and the Windows folder's explorer.exe.
// Windows only.
//
// Used on the main window's thread, with COM initialised there as a single-threaded
// apartment (see post_body.h).

#include <windows.h>

#include <string_view>

#include "update/version_check.h"

namespace update {

class Win32CheckPlatform final : public CheckPlatform {
 public:
  // `owner` owns the message boxes (the main window); it may be null.
  explicit Win32CheckPlatform(HWND owner) : owner_(owner) {}

  std::optional<std::u16string> Post(std::u16string_view url, std::u16string_view data) override;
  int Ask(std::u16string_view text, std::u16string_view title, int style) override;
  bool Start(std::u16string_view commandLine, int show) override;

 private:
  HWND owner_;
};

}  // namespace update
