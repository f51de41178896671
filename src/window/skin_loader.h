#pragma once
// The skin library at start-up. Windows only.

#include <string_view>

namespace window {

// The library's file, looked for in the program's own folder and then in the system
// folder, by full paths only: never in the current folder or on PATH.
inline constexpr std::u16string_view kSkinLibrary = u"SkinH_VB6.dll";
inline constexpr const char* kSkinEntry = "SkinH_AttachEx";

// Calls SkinH_AttachEx once with the application folder followed directly by "/1.she"
// and an empty string, both in the ANSI code page; its result is not examined. The
// library stays loaded: the skin is never detached. Without the library or its entry
// point, start-up goes on unskinned (the library is one of the components the tool
// repairs). Returns whether the call was made.
bool AttachSkin(std::u16string_view applicationFolder);

}  // namespace window
