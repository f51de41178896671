// A file planted where an attacker could put one: built as a program (planted under the
// names regsvr32.exe and explorer.exe) and as a library (SkinH_VB6.dll, version.dll).
// Whoever starts or loads it, it appends its own path and a line break, in UTF-8, to
// the file that PLANTED_RECORD names, and does nothing else.
#include <windows.h>

#include <string>

#include "wine/support/files.h"
#include "wine/support/program.h"

namespace {

void Record(HMODULE self) {
  const auto record = wine_test::EnvironmentVariable(L"PLANTED_RECORD");
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (record) wine_test::AppendUtf8(*record, std::wstring(path, n) + L"\n");
}

}  // namespace

#ifdef PLANTED_LIBRARY
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) Record(self);
  return TRUE;
}
#else
int wmain() {
  Record(nullptr);
  return 0;
}
#endif
