// Stands in for regsvr32 in the repair tests. Started as "regsvr32 /s NAME", it writes
// "regsvr32-log\NAME.<process id>" beside itself, holding its command line and its
// startup show state, and exits with the number in "regsvr32-log\NAME.exit" (0 when
// there is none). While that file holds "hang" instead of a number, it waits (at most
// three minutes) for a number to take its place: a registration that does not end.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 99;
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self, n);
  folder.resize(folder.find_last_of(L'\\'));
  const std::wstring log = folder + L"\\regsvr32-log\\" + argv[2];

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  wchar_t pid[16];
  std::swprintf(pid, 16, L".%lu", GetCurrentProcessId());
  if (FILE* out = _wfopen((log + pid).c_str(), L"wb")) {
    const std::wstring line = GetCommandLineW();
    std::fwrite(line.data(), sizeof(wchar_t), line.size(), out);
    std::fprintf(out, "\n%lu %u", startup.dwFlags & STARTF_USESHOWWINDOW, startup.wShowWindow);
    std::fclose(out);
  }
  for (int waited = 0;; waited += 100) {
    char text[16] = {};
    if (FILE* in = _wfopen((log + L".exit").c_str(), L"rb")) {
      std::fread(text, 1, sizeof text - 1, in);
      std::fclose(in);
    }
    if (std::strcmp(text, "hang") == 0 && waited < 180000) {
      Sleep(100);
      continue;
    }
    int code = 0;
    if (text[0] && std::sscanf(text, "%d", &code) != 1) code = 98;
    return code;
  }
}
