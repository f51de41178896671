#include "win32/module.h"

#include <new>

#include "win32/raii.h"
#include "win32/wide.h"

namespace win {

HRESULT GetModulePath(HMODULE module, std::u16string& path) noexcept try {
  std::u16string buffer(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, WideBuffer(buffer.data()), static_cast<DWORD>(buffer.size()));
    RETURN_LAST_ERROR_IF(n == 0);
    if (n < buffer.size()) {
      buffer.resize(n);
      path = std::move(buffer);
      return S_OK;
    }
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), buffer.size() >= 32768);
    buffer.resize(buffer.size() * 2);
  }
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

std::u16string FolderOfModule(std::u16string_view moduleFileName) {
  const auto cut = moduleFileName.find_last_of(u"\\/");
  if (cut == std::u16string_view::npos) return std::u16string();
  // "C:\Mendora.exe": the folder is the root "C:\", which keeps its backslash.
  if (cut == 2 && moduleFileName[1] == u':') return std::u16string(moduleFileName.substr(0, 3));
  return std::u16string(moduleFileName.substr(0, cut));
}

HRESULT GetApplicationFolder(std::u16string& folder) noexcept try {
  std::u16string path;
  RETURN_IF_FAILED(GetModulePath(nullptr, path));
  folder = FolderOfModule(path);
  return S_OK;
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

}  // namespace win
