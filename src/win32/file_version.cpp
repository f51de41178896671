// GetFileVersion. The version library is not one that Windows always takes from the
// system folder: it is loaded from there by its full path when a version is asked for,
// not imported when the program loads.
#include <memory>
#include <new>

#include "win32/module.h"
#include "win32/raii.h"
#include "win32/system_folder.h"
#include "win32/wide.h"

namespace win {
HRESULT GetFileVersion(const std::u16string& path, FileVersion& version) noexcept {
  const unique_hmodule library = LoadSystemLibrary(u"version.dll");
  RETURN_LAST_ERROR_IF(!library);
  const auto getSize = LibraryEntry<DWORD(WINAPI*)(LPCWSTR, LPDWORD)>(library.get(), "GetFileVersionInfoSizeW");
  const auto getInfo = LibraryEntry<BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID)>(library.get(), "GetFileVersionInfoW");
  const auto query = LibraryEntry<BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT)>(library.get(), "VerQueryValueW");
  RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), !getSize || !getInfo || !query);

  DWORD ignored = 0;
  const DWORD size = getSize(Wide(path), &ignored);
  RETURN_LAST_ERROR_IF(size == 0);
  std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[size]);
  RETURN_HR_IF(E_OUTOFMEMORY, !data);
  RETURN_LAST_ERROR_IF(!getInfo(Wide(path), 0, size, data.get()));
  void* fixed = nullptr;
  UINT length = 0;
  RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND),
               !query(data.get(), L"\\", &fixed, &length) || length < sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND), info->dwSignature != VS_FFI_SIGNATURE);
  version = (FileVersion{info->dwFileVersionMS} << 32) | info->dwFileVersionLS;
  return S_OK;
}

}  // namespace win
