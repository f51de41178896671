#include "win32/process.h"

#include <algorithm>
#include <memory>
#include <new>

#include "win32/system_folder.h"
#include "win32/wide.h"

namespace win {

HRESULT SystemProgramPath(SystemProgram program, std::u16string& path, std::u16string& folder) noexcept try {
  if (program == SystemProgram::kRegsvr32) {
    RETURN_IF_FAILED(GetSystemFolder(folder));
    path = folder + u"\\regsvr32.exe";
  } else {
    RETURN_IF_FAILED(GetWindowsFolder(folder));
    path = folder + u"\\explorer.exe";
  }
  return S_OK;
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

HRESULT StartProgram(const std::u16string& application, std::u16string_view commandLine,
                     const std::u16string& currentFolder, int showWindow, unique_handle* process) noexcept {
  // CreateProcessW may write into its command line, so it gets a copy of its own.
  std::unique_ptr<wchar_t[]> line(new (std::nothrow) wchar_t[commandLine.size() + 1]);
  RETURN_HR_IF(E_OUTOFMEMORY, !line);
  std::copy(commandLine.begin(), commandLine.end(), line.get());
  line[commandLine.size()] = L'\0';

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showWindow);
  PROCESS_INFORMATION started{};
  RETURN_LAST_ERROR_IF(!CreateProcessW(Wide(application), line.get(), nullptr, nullptr, FALSE, 0, nullptr,
                                       Wide(currentFolder), &startup, &started));
  unique_handle thread(started.hThread);
  unique_handle owned(started.hProcess);
  if (process) *process = std::move(owned);
  return S_OK;
}

HRESULT StartSystemProgram(SystemProgram program, std::u16string_view commandLine, int showWindow,
                           unique_handle* process) noexcept try {
  std::u16string path, folder;
  RETURN_IF_FAILED(SystemProgramPath(program, path, folder));
  return StartProgram(path, commandLine, folder, showWindow, process);
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

}  // namespace win
