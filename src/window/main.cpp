// Mendora.exe: the repair tool. Loading Form1 starts the program and closing it ends
// it; everything runs on this thread, a single-threaded COM apartment (the version
// check's request object needs one).
#include <windows.h>
#include <objbase.h>

#include "window/form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = window::RunForm1(instance, show);
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}
