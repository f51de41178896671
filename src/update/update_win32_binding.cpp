#include "update/update_win32_binding.h"

#include <string>

#include "win32/message_box.h"
#include "win32/process.h"
#include "update/post_body.h"

namespace update {

std::optional<std::u16string> Win32CheckPlatform::Post(std::u16string_view url, std::u16string_view data) {
  std::u16string response;
  if (FAILED(PostBody(url, data, response))) return std::nullopt;
  return response;
}

int Win32CheckPlatform::Ask(std::u16string_view text, std::u16string_view title, int style) {
  return win::ShowMessageBox(owner_, text, title, style);
}

bool Win32CheckPlatform::Start(std::u16string_view commandLine, int show) {
  return SUCCEEDED(win::StartSystemProgram(win::SystemProgram::kExplorer, commandLine, show));
}

}  // namespace update
