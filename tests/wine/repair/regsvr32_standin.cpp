// Stands in for regsvr32 in the repair tests. Started as "regsvr32 /s NAME", it writes
// "regsvr32-log\NAME.<process id>" beside itself, holding its command line and its
// startup show state, and exits with the number in "regsvr32-log\NAME.exit" (0 when
// there is none). While that file holds "hang" instead of a number, it waits (at most
// three minutes) for a number to take its place: a registration that does not end.
#include <windows.h>

#include <cstdio>
#include <string>

#include "wine/support/files.h"
#include "wine/support/program.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 99;
  const std::wstring log = (wine_test::ProgramFolder() / L"regsvr32-log" / argv[2]).native();

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const std::wstring line = GetCommandLineW();
  try {
    wine_test::WriteBytes(log + L"." + std::to_wstring(GetCurrentProcessId()),
                          std::string(reinterpret_cast<const char*>(line.data()), line.size() * sizeof(wchar_t)) +
                              "\n" + std::to_string(startup.dwFlags & STARTF_USESHOWWINDOW) + " " +
                              std::to_string(startup.wShowWindow));
  } catch (const std::exception&) {
    // No record: the test finds the registration missing.
  }
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
