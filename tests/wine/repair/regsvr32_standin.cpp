// Stands in for regsvr32 in the repair tests. Started as "regsvr32 /s NAME", it writes
// "regsvr32-log\NAME.<process id>" beside itself, holding its command line and its
// startup show state, and exits with the number in "regsvr32-log\NAME.exit" (0 when
// there is none).
#include <windows.h>

#include <cstdio>
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
  int code = 0;
  if (FILE* in = _wfopen((log + L".exit").c_str(), L"rb")) {
    if (std::fscanf(in, "%d", &code) != 1) code = 98;
    std::fclose(in);
  }
  return code;
}
