// Stands in for the web browser: registered as the program that opens https addresses
// (wine/support/system_standins.h), it is what Windows' explorer.exe starts for the
// address it is given. It appends its command line and the window state it was started
// with, as UTF-8, to the file that BROWSER_STANDIN_RECORD names.
#include <windows.h>

#include <string>

#include "wine/support/files.h"
#include "wine/support/program.h"

int wmain() {
  const auto record = wine_test::EnvironmentVariable(L"BROWSER_STANDIN_RECORD");
  if (!record) return 1;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::wstring line = std::wstring(GetCommandLineW()) + L"\n" + std::to_wstring(show) + L"\n";
  return wine_test::AppendUtf8(*record, line) ? 0 : 1;
}
