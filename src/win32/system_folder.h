#pragma once
// Where the programs' helpers come from. The repair tool runs with administrator rights,
// so whatever it starts or loads must come from a folder that only administrators can
// write: the system folder, the Windows folder, or the program's own folder. The current
// folder and PATH, which the platform's default searches include, are never searched.

#include <windows.h>

#include <string>

#include "win32/raii.h"

namespace win {

// The system folder (GetSystemDirectoryW: "C:\Windows\System32", which the file-system
// redirector turns into SysWOW64 for a 32-bit process on 64-bit Windows) and the Windows
// folder, without a trailing backslash.
[[nodiscard]] HRESULT GetSystemFolder(std::u16string& folder) noexcept;
[[nodiscard]] HRESULT GetWindowsFolder(std::u16string& folder) noexcept;

// Leaves the current folder and PATH out of every later library search of this process:
// a library loaded by a bare name comes from the system folder only
// (SetDefaultDllDirectories), or, where Windows lacks that function, from the standard
// search without the current folder (SetDllDirectoryW with an empty folder). Call it
// first thing at start-up.
[[nodiscard]] HRESULT RestrictLibrarySearch() noexcept;

// Loads the library `file` (a file name) from `folder` by its full path; null, with
// the last error set, when it is not there or cannot be loaded.
unique_hmodule LoadLibraryFromFolder(const std::u16string& folder, std::u16string_view file) noexcept;

// LoadLibraryFromFolder of the system folder.
unique_hmodule LoadSystemLibrary(std::u16string_view file) noexcept;

// The export `name` of `library` as a function of type `Function`; null when missing.
template <class Function>
Function LibraryEntry(HMODULE library, const char* name) noexcept {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace win
