// GetFileVersion, apart from module.cpp so that only its users link the version library.
#include <memory>
#include <new>

#include "win32/module.h"
#include "win32/raii.h"
#include "win32/wide.h"

namespace win {

HRESULT GetFileVersion(const std::u16string& path, FileVersion& version) noexcept {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(Wide(path), &ignored);
  RETURN_LAST_ERROR_IF(size == 0);
  std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[size]);
  RETURN_HR_IF(E_OUTOFMEMORY, !data);
  RETURN_LAST_ERROR_IF(!GetFileVersionInfoW(Wide(path), 0, size, data.get()));
  void* fixed = nullptr;
  UINT length = 0;
  RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND),
               !VerQueryValueW(data.get(), L"\\", &fixed, &length) || length < sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND), info->dwSignature != VS_FFI_SIGNATURE);
  version = (FileVersion{info->dwFileVersionMS} << 32) | info->dwFileVersionLS;
  return S_OK;
}

}  // namespace win
