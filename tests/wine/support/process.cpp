#include "wine/support/process.h"

#include <string>
#include <thread>

#include "wine/support/program.h"

namespace wine_test {

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

std::optional<DWORD> RunToEnd(std::wstring_view commandLine, Milliseconds bound, int show) {
  std::wstring line(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return std::nullopt;
  CloseHandle(info.hThread);
  const win::unique_handle process(info.hProcess);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.get(), static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &code)) {
    return std::nullopt;
  }
  return code;
}

DWORD StartInItsFolder(const std::filesystem::path& exe, StartedProgram& started) {
  return StartIn(exe, exe.parent_path(), started);
}

DWORD StartIn(const std::filesystem::path& exe, const std::filesystem::path& currentFolder, StartedProgram& started) {
  std::wstring commandLine = Quoted(exe.native());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, currentFolder.c_str(),
                      &startup, &info)) {
    return GetLastError();
  }
  CloseHandle(info.hThread);
  started.process.reset(info.hProcess);
  started.id = info.dwProcessId;
  return ERROR_SUCCESS;
}

}  // namespace wine_test
