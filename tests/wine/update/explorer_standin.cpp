// Stands in for explorer.exe in the version check's tests: appends its command line
// and the window state it was started with, as UTF-8, to the file that
// EXPLORER_STANDIN_RECORD names.
#include <windows.h>

#include <string>

#include "wine/support/files.h"
#include "wine/support/program.h"

int wmain() {
  const auto record = wine_test::EnvironmentVariable(L"EXPLORER_STANDIN_RECORD");
  if (!record) return 1;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::wstring line = std::wstring(GetCommandLineW()) + L"\n" + std::to_wstring(show) + L"\n";
  return wine_test::AppendUtf8(*record, line) ? 0 : 1;
}
