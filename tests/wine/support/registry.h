#pragma once
// Registry reads, in this process's view or in the one `view` names (KEY_WOW64_32KEY,
// KEY_WOW64_64KEY).
#include <windows.h>

#include <optional>
#include <string>

namespace wine_test {

bool RegistryKeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);

// The string value `name` (null: the default value) of `key`, or nothing when the key
// or a string value there is missing.
std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& key, const wchar_t* name = nullptr,
                                           REGSAM view = 0);

}  // namespace wine_test
