// Stands in for a third-party control or library in the end-to-end repair tests. It is
// copied into the ocx folder under each third-party file name; when regsvr32 calls its
// DllRegisterServer, it appends its own file name and a line break, in UTF-8, to the
// file that CONTROL_STANDIN_RECORD names.
#include <windows.h>

#include <string>

namespace {
HMODULE module = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) module = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t record[MAX_PATH];
  const DWORD recordLength = GetEnvironmentVariableW(L"CONTROL_STANDIN_RECORD", record, MAX_PATH);
  if (recordLength == 0 || recordLength >= MAX_PATH) return E_FAIL;
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(module, self, MAX_PATH);
  std::wstring name(self, n);
  name = name.substr(name.find_last_of(L"\\/") + 1) + L"\n";
  char line[MAX_PATH * 3];
  const int size = WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), line, sizeof line,
                                       nullptr, nullptr);
  HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return E_FAIL;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  return ok ? S_OK : E_FAIL;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return S_OK; }
