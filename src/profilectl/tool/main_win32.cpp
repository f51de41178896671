#include <windows.h>

#include "profilectl/tool/tesvar_cli.h"
#include "text/codepage.h"
#include "win32/system_folder.h"
#include "win32/wide.h"

namespace {

// UTF-8 bytes to a pipe or file; UTF-16 to a console, which shows them whatever its
// code page.
void Write(DWORD which, std::string_view utf8) {
  if (utf8.empty()) return;
  HANDLE handle = GetStdHandle(which);
  DWORD mode, done;
  if (GetConsoleMode(handle, &mode)) {
    const std::u16string wide = text::FromUtf8(utf8);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
  } else {
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Nothing it loads may come from the current folder or PATH.
  if (FAILED(win::RestrictLibrarySearch())) return 1;
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(win::Utf16View(argv[i]));
  profilectl::ToolOutput output;
  output.flush = [](std::string_view text) { Write(STD_OUTPUT_HANDLE, text); };
  const int status = profilectl::RunTesvarTool(args, output);
  Write(STD_OUTPUT_HANDLE, output.out);
  Write(STD_ERROR_HANDLE, output.err);
  return status;
}
