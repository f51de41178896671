#include "window/skin_loader.h"

#include <windows.h>

#include <string>

#include "text/codepage.h"
#include "win32/system_folder.h"

namespace window {

bool AttachSkin(std::u16string_view applicationFolder) {
  using AttachEx = int(WINAPI*)(const char* skinFile, const char* password);
  win::unique_hmodule library = win::LoadLibraryFromFolder(std::u16string(applicationFolder), kSkinLibrary);
  if (!library) library = win::LoadSystemLibrary(kSkinLibrary);
  if (!library) return false;
  const auto attach = win::LibraryEntry<AttachEx>(library.get(), kSkinEntry);
  if (!attach) return false;
  std::u16string skinFile(applicationFolder);
  skinFile += u"/1.she";
  attach(text::ToAnsi(skinFile).c_str(), "");
  // The skin stays attached while the program runs, and with it the library.
  library.release();
  return true;
}

}  // namespace window
