// Stands in for a third-party control or library in the end-to-end repair tests. It is
// copied into the ocx folder under each third-party file name; when regsvr32 calls its
// DllRegisterServer, it appends its own file name and a line break, in UTF-8, to the
// file that CONTROL_STANDIN_RECORD names.
#include <windows.h>

#include <string>

#include "win32/module.h"
#include "wine/support/files.h"
#include "wine/support/program.h"

namespace {
HMODULE module = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) module = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  const auto record = wine_test::EnvironmentVariable(L"CONTROL_STANDIN_RECORD");
  std::u16string self;
  if (!record || FAILED(win::GetModulePath(module, self))) return E_FAIL;
  const std::wstring name = wine_test::Wide(self.substr(self.find_last_of(u"\\/") + 1)) + L"\n";
  return wine_test::AppendUtf8(*record, name) ? S_OK : E_FAIL;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return S_OK; }
