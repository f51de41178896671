#include "registration.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "module.h"
#include "tesvar_identity.h"
#include "type_dispatch.h"
#include "win32/raii.h"

namespace tesvar {
namespace {

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

struct Entry {
  std::wstring key;           // under HKEY_CLASSES_ROOT
  const wchar_t* name;        // nullptr: the key's default value
  std::wstring value;
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40];
  const int n = StringFromGUID2(guid, text, 40);
  return std::wstring(text, n > 0 ? n - 1 : 0);
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(kClassId); }

// The class under its identifier and the ProgID.
std::vector<Entry> Entries(const std::wstring& server) {
  const std::wstring cls = ClassKey();
  const std::wstring version = std::to_wstring(kLibraryMajor) + L"." + std::to_wstring(kLibraryMinor);
  return {
      {cls, nullptr, kClassName},
      {cls + L"\\InprocServer32", nullptr, server},
      {cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {cls + L"\\ProgID", nullptr, kProgId},
      {cls + L"\\VersionIndependentProgID", nullptr, kProgId},
      {cls + L"\\TypeLib", nullptr, GuidText(kLibraryId)},
      {cls + L"\\Version", nullptr, version},
      {cls + L"\\Control", nullptr, L""},
      {cls + L"\\MiscStatus", nullptr, L"0"},
      {cls + L"\\MiscStatus\\" + std::to_wstring(DVASPECT_CONTENT), nullptr, std::to_wstring(kMiscStatus)},
      {cls + L"\\ToolboxBitmap32", nullptr, server + L", " + std::to_wstring(kToolboxBitmapId)},
      {kProgId, nullptr, kClassName},
      {std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(kClassId)},
  };
}

HRESULT Write(const Entry& entry) {
  win::unique_hkey key;
  RETURN_IF_WIN32_ERROR(RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_SET_VALUE, nullptr, key.put(), nullptr));
  const auto bytes = static_cast<DWORD>((entry.value.size() + 1) * sizeof(wchar_t));
  RETURN_IF_WIN32_ERROR(RegSetValueExW(key.get(), entry.name, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(entry.value.c_str()), bytes));
  return S_OK;
}

HRESULT DeleteTree(const std::wstring& key) {
  const LONG result = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());  // the key itself, when only its subkeys went
    return S_OK;
  }
  return HRESULT_FROM_WIN32(result);
}

bool TypeLibRegistered() {
  win::unique_hkey key;
  const std::wstring path = L"TypeLib\\" + GuidText(kLibraryId);
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

}  // namespace

HRESULT RegisterServer() noexcept {
  try {
    const std::wstring server = module::Path();
    RETURN_HR_IF(E_UNEXPECTED, server.empty());
    win::com_ptr<ITypeLib> lib;
    RETURN_IF_FAILED(LoadModuleTypeLib(lib.put()));
    HRESULT hr = RegisterTypeLib(lib.get(), const_cast<LPOLESTR>(server.c_str()), nullptr);
    for (const Entry& entry : Entries(server)) {
      if (FAILED(hr)) break;
      hr = Write(entry);
    }
    if (FAILED(hr)) UnregisterServer();  // leave nothing half written
    return hr;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterServer() noexcept {
  try {
    HRESULT result = S_OK;
    for (const std::wstring& key : {ClassKey(), std::wstring(kProgId)}) {
      if (const HRESULT hr = DeleteTree(key); FAILED(hr)) result = hr;
    }
    if (TypeLibRegistered()) {
      if (const HRESULT hr = UnRegisterTypeLib(kLibraryId, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, kSysKind);
          FAILED(hr) && hr != TYPE_E_REGISTRYACCESS) {
        result = hr;
      }
    }
    return result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace tesvar
