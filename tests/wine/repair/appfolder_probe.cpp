// Writes the application folder, as the repair binding computes it, in UTF-16 to the
// file named by its argument.
#include <windows.h>

#include <cstdio>

#include "win32/module.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::u16string folder;
  if (FAILED(win::GetApplicationFolder(folder))) return 3;
  FILE* out = _wfopen(argv[1], L"wb");
  if (!out) return 4;
  std::fwrite(folder.data(), sizeof(char16_t), folder.size(), out);
  std::fclose(out);
  return 0;
}
