#include "wine/support/registry.h"

#include "win32/raii.h"

namespace wine_test {

bool RegistryKeyExists(HKEY root, const std::wstring& key, REGSAM view) {
  win::unique_hkey handle;
  return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, handle.put()) == ERROR_SUCCESS;
}

std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view) {
  win::unique_hkey handle;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, handle.put()) != ERROR_SUCCESS) return std::nullopt;
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(handle.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return data;
}

}  // namespace wine_test
