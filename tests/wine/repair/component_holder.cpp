// Holds a component as a running series program does, for the repair tests.
//
//   component_holder load FILE FOLDER   loads FILE as a library
//   component_holder open FILE FOLDER   opens FILE for reading, sharing reading only
//                                       (no renaming, deleting or writing meanwhile)
//
// Once it holds the file it creates FOLDER\held, then waits (at most three minutes)
// for FOLDER\quit. A loaded control is then asked DllCanUnloadNow from the copy it
// loaded, and that answer is the exit code (0 for S_OK); the open file exits 0.
// Failing to hold the file exits 90.
#include <windows.h>

#include <filesystem>
#include <string>

#include "wine/support/files.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 99;
  const std::wstring mode = argv[1];
  const std::filesystem::path folder = argv[3];
  HMODULE module = nullptr;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (mode == L"load")
    module = LoadLibraryW(argv[2]);
  else if (mode == L"open")
    file = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (module == nullptr && file == INVALID_HANDLE_VALUE) return 90;
  wine_test::WriteBytes(folder / L"held", "");
  for (int waited = 0; waited < 180000 && !std::filesystem::exists(folder / L"quit"); waited += 20) Sleep(20);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return 0;
  }
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  const auto canUnload =
      reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return canUnload ? static_cast<int>(canUnload()) : 98;
}
