#pragma once
// Small file utilities for the repair tests under Wine. Paths are std::filesystem paths
// (UTF-16 on Windows), turned into the repair code's UTF-16 paths with Path16.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "fileio/file_io.h"

namespace repair_test {

inline fileio::Path Path16(const std::wstring& path) { return fileio::Path(path.begin(), path.end()); }
inline fileio::Path Path16(const std::filesystem::path& path) { return Path16(path.wstring()); }

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::set<std::wstring> Names(const std::filesystem::path& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().wstring());
  return names;
}

// The folder of the running test program.
inline std::filesystem::path ProgramFolder() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(std::wstring(self, n)).parent_path();
}

}  // namespace repair_test
