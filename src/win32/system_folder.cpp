#include "win32/system_folder.h"

#include <new>

#include "win32/wide.h"

namespace win {
namespace {

// One of the folder functions that return their length without the terminating NUL, or
// the size they need when the buffer is too small.
template <class Get>
HRESULT ReadFolder(Get get, std::u16string& folder) noexcept try {
  std::u16string buffer(MAX_PATH, u'\0');
  for (;;) {
    const UINT n = get(WideBuffer(buffer.data()), static_cast<UINT>(buffer.size()));
    RETURN_LAST_ERROR_IF(n == 0);
    if (n < buffer.size()) {
      buffer.resize(n);
      // A root ("C:\") keeps its backslash in the system's answer; our callers add one.
      if (!buffer.empty() && buffer.back() == u'\\') buffer.pop_back();
      folder = std::move(buffer);
      return S_OK;
    }
    buffer.resize(n);
  }
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

}  // namespace

HRESULT GetSystemFolder(std::u16string& folder) noexcept { return ReadFolder(GetSystemDirectoryW, folder); }

HRESULT GetWindowsFolder(std::u16string& folder) noexcept { return ReadFolder(GetWindowsDirectoryW, folder); }

HRESULT RestrictLibrarySearch() noexcept {
  // Windows 8 and later, and Windows 7 with its update KB2533623; looked up, so that the
  // program still starts where it is missing.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const auto setDefault = LibraryEntry<SetDefaultDllDirectoriesFunction>(GetModuleHandleW(L"kernel32.dll"),
                                                                         "SetDefaultDllDirectories");
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return S_OK;
  RETURN_LAST_ERROR_IF(!SetDllDirectoryW(L""));
  return S_OK;
}

unique_hmodule LoadLibraryFromFolder(const std::u16string& folder, std::u16string_view file) noexcept try {
  std::u16string path = folder;
  if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
  path += file;
  // A full path: no search is made for the library itself. Its own imports are looked
  // for as RestrictLibrarySearch left the search.
  return unique_hmodule(LoadLibraryExW(Wide(path), nullptr, 0));
} catch (const std::bad_alloc&) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return unique_hmodule();
}

unique_hmodule LoadSystemLibrary(std::u16string_view file) noexcept {
  std::u16string folder;
  if (FAILED(GetSystemFolder(folder))) return unique_hmodule();
  return LoadLibraryFromFolder(folder, file);
}

}  // namespace win
