// Mendora.exe: the repair tool. Loading Form1 starts the program and closing it ends
// it; everything runs on this thread, a single-threaded COM apartment (the version
// check's request object needs one). The tool runs with administrator rights: before
// anything else, the library search leaves out the current folder and PATH.
#include <windows.h>
#include <objbase.h>

#include "win32/system_folder.h"
#include "window/form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  if (FAILED(win::RestrictLibrarySearch())) return 1;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = window::RunForm1(instance, show);
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}
