#pragma once
// The window classes of our own windows.
#include <windows.h>

namespace win {

// Registers `name` in `instance` with `procedure`, the arrow cursor and the button face
// as background, unless it is registered there already (a second window, or a control
// created again in the same process).
[[nodiscard]] HRESULT RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) noexcept;

}  // namespace win
