#pragma once
// Starting the system's programs that the tools launch (regsvr32, explorer.exe), always
// by their full paths: the repair tool runs with administrator rights, and a bare
// program name would also be looked for in the current folder.

#include <windows.h>

#include <string>
#include <string_view>

#include "win32/raii.h"

namespace win {

enum class SystemProgram {
  kRegsvr32,  // regsvr32.exe of the system folder (SysWOW64's for a 32-bit process on 64-bit Windows)
  kExplorer,  // explorer.exe of the Windows folder
};

// The full path of `program`, and the folder that holds it.
[[nodiscard]] HRESULT SystemProgramPath(SystemProgram program, std::u16string& path,
                                        std::u16string& folder) noexcept;

// CreateProcessW of the program file `application` with `commandLine` as the command
// line the child sees (verbatim) and `currentFolder` as its current folder, shown with
// `showWindow`, inheriting no handles, without waiting. The thread handle is closed at
// once; `process`, when given, receives the process handle, which is closed otherwise.
[[nodiscard]] HRESULT StartProgram(const std::u16string& application, std::u16string_view commandLine,
                                   const std::u16string& currentFolder, int showWindow,
                                   unique_handle* process = nullptr) noexcept;

// StartProgram of the system's own `program`, in the folder that holds it: a bare file
// name in `commandLine` (regsvr32's "/s Tesvar.OCX") then means the file of that folder.
[[nodiscard]] HRESULT StartSystemProgram(SystemProgram program, std::u16string_view commandLine, int showWindow,
                                         unique_handle* process = nullptr) noexcept;

}  // namespace win
