#pragma once
// The about form that Readme shows: one shared instance per thread, modal or modeless.
#include <windows.h>

namespace tesvar {

inline constexpr wchar_t kAboutFormClass[] = L"TesvarAboutForm";

// Shows this thread's about form, creating it when it does not exist. Modal: returns
// when the form has been closed, with `owner`'s top-level window disabled meanwhile.
// Modeless: returns at once.
HRESULT ShowAboutForm(HWND owner, bool modal) noexcept;

// The about form of the calling thread, or nullptr.
HWND FindAboutForm() noexcept;

// Removes the window class when the module unloads.
void UnregisterAboutFormClass() noexcept;

}  // namespace tesvar
