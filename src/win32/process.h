#pragma once
// Starting the processes the tools launch (regsvr32, explorer.exe).

#include <windows.h>

#include <string_view>

#include "win32/raii.h"

namespace win {

// CreateProcessW of `commandLine` exactly as given (the platform's search finds the
// program), shown with `showWindow`, inheriting no handles, without waiting. The thread
// handle is closed at once; `process`, when given, receives the process handle, which
// is closed otherwise.
[[nodiscard]] HRESULT StartProcessShown(std::u16string_view commandLine, int showWindow,
                                        unique_handle* process = nullptr) noexcept;

}  // namespace win
