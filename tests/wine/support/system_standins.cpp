#include "wine/support/system_standins.h"

#include "win32/raii.h"
#include "wine/support/files.h"
#include "wine/support/registry.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

// Wine's load order for the prefix: regsvr32.exe "native" runs the file in the system
// folder instead of Wine's builtin program. (WINEDLLOVERRIDES would do it as well, but
// Wine takes it from the Unix environment, which a Windows program cannot set for its
// children.)
constexpr wchar_t kOverridesKey[] = L"Software\\Wine\\DllOverrides";
constexpr wchar_t kRegsvr32[] = L"regsvr32.exe";
constexpr wchar_t kHttpsCommand[] = L"https\\shell\\open\\command";
// Windows' explorer.exe is a 64-bit program: the handler is read in its view.
constexpr REGSAM kExplorersView = KEY_WOW64_64KEY;

bool SetString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value, REGSAM view = 0) {
  win::unique_hkey handle;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, handle.put(), nullptr) != ERROR_SUCCESS)
    return false;
  return RegSetValueExW(handle.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetDefaultValue(const wchar_t* key, const std::wstring& value) {
  return SetString(HKEY_CLASSES_ROOT, key, nullptr, value, kExplorersView);
}

}  // namespace

fs::path Regsvr32StandIn::Location() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return fs::path(std::wstring(folder, n)) / L"regsvr32.exe";
}

Regsvr32StandIn::Regsvr32StandIn(const fs::path& standin) {
  original_ = ReadBytes(Location());
  const auto bytes = ReadBytes(standin);
  if (!original_ || !bytes) return;
  try {
    WriteBytes(Location(), *bytes);
  } catch (const std::exception&) {
    return;
  }
  installed_ = SetString(HKEY_CURRENT_USER, kOverridesKey, kRegsvr32, L"native");
}

Regsvr32StandIn::~Regsvr32StandIn() {
  if (!original_) return;
  win::unique_hkey overrides;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kOverridesKey, 0, KEY_SET_VALUE, overrides.put()) == ERROR_SUCCESS)
    RegDeleteValueW(overrides.get(), kRegsvr32);
  try {
    WriteBytes(Location(), *original_);
  } catch (const std::exception&) {
    // Without the override Wine runs its builtin program, whatever the file holds.
  }
}

HttpsHandlerStandIn::HttpsHandlerStandIn(const std::wstring& command) {
  original_ = RegistryString(HKEY_CLASSES_ROOT, kHttpsCommand, nullptr, kExplorersView);
  installed_ = SetDefaultValue(kHttpsCommand, command);
}

HttpsHandlerStandIn::~HttpsHandlerStandIn() {
  if (!installed_) return;
  if (original_)
    SetDefaultValue(kHttpsCommand, *original_);
  else
    RegDeleteKeyExW(HKEY_CLASSES_ROOT, kHttpsCommand, kExplorersView, 0);
}

}  // namespace wine_test
