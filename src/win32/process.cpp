#include "win32/process.h"

#include <algorithm>
#include <memory>
#include <new>

namespace win {

HRESULT StartProcessShown(std::u16string_view commandLine, int showWindow, unique_handle* process) noexcept {
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
  RETURN_LAST_ERROR_IF(!CreateProcessW(nullptr, line.get(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                       &started));
  unique_handle thread(started.hThread);
  unique_handle owned(started.hProcess);
  if (process) *process = std::move(owned);
  return S_OK;
}

}  // namespace win
