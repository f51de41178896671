#include "window/skin_loader.h"

#include <windows.h>

#include <string>

#include "text/codepage.h"

namespace window {

bool AttachSkin(std::u16string_view applicationFolder) {
  using AttachEx = int(WINAPI*)(const char* skinFile, const char* password);
  HMODULE library = LoadLibraryW(kSkinLibrary);
  if (!library) return false;
  const auto attach = reinterpret_cast<AttachEx>(reinterpret_cast<void*>(GetProcAddress(library, kSkinEntry)));
  if (!attach) return false;
  std::u16string skinFile(applicationFolder);
  skinFile += u"/1.she";
  attach(text::ToAnsi(skinFile).c_str(), "");
  return true;
}

}  // namespace window
