// Stands in for the system folder's regsvr32 in the repair tests (see
// wine/support/system_standins.h). Started as "regsvr32 /s NAME", it writes
// "NAME.<process id>" into the folder that REGSVR32_STANDIN_LOG names, holding its
// command line, its startup show state, its current folder and its own path, and exits
// with the number in "NAME.exit" there (0 when there is none). While that file holds
// "hang" instead of a number, it waits (at most three minutes) for a number to take its
// place: a registration that does not end.
#include <windows.h>

#include <cstdio>
#include <string>

#include "wine/support/files.h"
#include "wine/support/program.h"

int wmain(int argc, wchar_t** argv) {
  const auto folder = wine_test::EnvironmentVariable(L"REGSVR32_STANDIN_LOG");
  if (argc != 3 || !folder) return 99;
  const std::wstring log = *folder + L"\\" + argv[2];

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring record = std::wstring(GetCommandLineW()) + L"\n" +
                              std::to_wstring(startup.dwFlags & STARTF_USESHOWWINDOW) + L" " +
                              std::to_wstring(startup.wShowWindow) + L"\n" + current + L"\n" + self + L"\n";
  // No record: the test finds the registration missing.
  wine_test::AppendUtf8(log + L"." + std::to_wstring(GetCurrentProcessId()), record);
  for (int waited = 0;; waited += 100) {
    const std::string text = wine_test::ReadBytes(log + L".exit").value_or("");
    if (text == "hang" && waited < 180000) {
      Sleep(100);
      continue;
    }
    int code = 0;
    if (!text.empty() && std::sscanf(text.c_str(), "%d", &code) != 1) code = 98;
    return code;
  }
}
