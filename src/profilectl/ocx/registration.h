#pragma once
// What DllRegisterServer writes and DllUnregisterServer removes.
#include <windows.h>

namespace tesvar {

// The type library, the class under its identifier and the ProgID. Registering again
// rewrites the same entries.
HRESULT RegisterServer() noexcept;

// Removes every entry RegisterServer writes; entries already gone are no error.
HRESULT UnregisterServer() noexcept;

}  // namespace tesvar
