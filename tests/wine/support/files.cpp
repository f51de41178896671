#include "wine/support/files.h"

#include "wine/support/program.h"

namespace wine_test {

std::set<std::wstring> Names(const std::filesystem::path& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().wstring());
  return names;
}

win::unique_handle HoldOpen(const std::filesystem::path& file, DWORD access, DWORD share) {
  return win::unique_handle(CreateFileW(file.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
}

bool AppendUtf8(const std::filesystem::path& file, std::wstring_view text) {
  win::unique_handle out(CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::string bytes = Utf8(text);
  DWORD written = 0;
  return out && WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::vector<std::wstring> Utf8Lines(const std::filesystem::path& file) {
  const std::string bytes = ReadBytes(file).value_or("");
  std::vector<std::wstring> lines;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    lines.push_back(WideFromUtf8(std::string_view(bytes).substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

}  // namespace wine_test
