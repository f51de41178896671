#include "wine/support/program.h"

#include "text/codepage.h"
#include "win32/module.h"
#include "win32/wide.h"

namespace wine_test {

std::filesystem::path ProgramFolder() {
  std::u16string folder;
  if (FAILED(win::GetApplicationFolder(folder))) return {};
  return Wide(folder);
}

std::filesystem::path WindowsPath(std::wstring_view argument) {
  if (!argument.starts_with(L'/')) return std::filesystem::path(argument);
  std::wstring path = L"Z:";
  for (const wchar_t c : argument) path += c == L'/' ? L'\\' : c;
  return path;
}

std::filesystem::path WindowsPath(const char* argument) { return WindowsPath(Wide(text::FromAnsi(argument))); }

std::optional<std::wstring> EnvironmentVariable(const wchar_t* name) {
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) return std::nullopt;
    if (n < value.size()) return value.substr(0, n);
    value.resize(n);
  }
}

std::wstring Wide(std::u16string_view text) { return std::wstring(win::WideView(text)); }

std::wstring WideFromUtf8(std::string_view bytes) { return Wide(text::FromUtf8(bytes)); }

std::string Utf8(std::wstring_view text) { return text::ToUtf8(win::Utf16View(text)); }

std::u16string Path16(const std::filesystem::path& path) { return std::u16string(win::Utf16View(path.native())); }

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

}  // namespace wine_test
