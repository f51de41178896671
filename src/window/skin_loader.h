#pragma once
// The skin library at start-up. Windows only.

#include <string_view>

namespace window {

// The name the platform's library search looks for (the program's folder first).
inline constexpr const wchar_t* kSkinLibrary = L"SkinH_VB6.dll";
inline constexpr const char* kSkinEntry = "SkinH_AttachEx";

// Calls SkinH_AttachEx once with the application folder followed directly by "/1.she"
// and an empty string, both in the ANSI code page; its result is not examined. The
// library stays loaded: the skin is never detached. Without the library or its entry
// point, start-up goes on unskinned (the library is one of the components the tool
// repairs). Returns whether the call was made.
bool AttachSkin(std::u16string_view applicationFolder);

}  // namespace window
