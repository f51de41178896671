#pragma once
// The files of the running program: a module's full path, the folder of the running
// executable, and the file version of a version resource.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace win {

// The full path of `module` (null: the running executable) from GetModuleFileNameW,
// however long it is.
[[nodiscard]] HRESULT GetModulePath(HMODULE module, std::u16string& path) noexcept;

// The folder part of a module's full path, as Windows reports folders: without a
// trailing backslash, except at a drive root ("C:\Mendora.exe" gives "C:\").
std::u16string FolderOfModule(std::u16string_view moduleFileName);

// The folder of the running executable (FolderOfModule of its path).
[[nodiscard]] HRESULT GetApplicationFolder(std::u16string& folder) noexcept;

// A file version from a version resource: major, minor, build and revision, 16 bits
// each, major in the highest bits, so that versions compare as numbers.
using FileVersion = std::uint64_t;

// The file version (VS_FIXEDFILEINFO) of the version resource of the file at `path`.
// Loads the system folder's version library for the call (file_version.cpp).
[[nodiscard]] HRESULT GetFileVersion(const std::u16string& path, FileVersion& version) noexcept;

}  // namespace win
