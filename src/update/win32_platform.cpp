#include "update/win32_platform.h"

#include <string>

#include "update/com_raii.h"
#include "update/post_body.h"

namespace update {

HRESULT StartProcess(std::u16string_view commandLine, int show) noexcept try {
  // CreateProcessW may write into the command line, so it gets its own copy.
  std::wstring line(reinterpret_cast<const wchar_t*>(commandLine.data()), commandLine.size());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process{};
  RETURN_LAST_ERROR_IF(!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                       &process));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return S_OK;
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

std::optional<std::u16string> Win32CheckPlatform::Post(std::u16string_view url, std::u16string_view data) {
  std::u16string response;
  if (FAILED(PostBody(url, data, response))) return std::nullopt;
  return response;
}

int Win32CheckPlatform::Ask(std::u16string_view text, std::u16string_view title, int style) {
  const std::wstring wideText(reinterpret_cast<const wchar_t*>(text.data()), text.size());
  const std::wstring wideTitle(reinterpret_cast<const wchar_t*>(title.data()), title.size());
  return MessageBoxW(owner_, wideText.c_str(), wideTitle.c_str(), static_cast<UINT>(style));
}

bool Win32CheckPlatform::Start(std::u16string_view commandLine, int show) {
  return SUCCEEDED(StartProcess(commandLine, show));
}

}  // namespace update
