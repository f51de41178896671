#pragma once
// Files as the Wine tests look at them: the names in a folder, a file held open by
// another handle, records appended to and read back as UTF-8 lines. Whole files are
// read and written with support/files.h.
#include <windows.h>

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/files.h"
#include "win32/raii.h"

namespace wine_test {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

// The names of the entries of `folder`.
std::set<std::wstring> Names(const std::filesystem::path& folder);

// An existing file opened with `access` and sharing only `share`, as another program
// holds it; no handle when it cannot be opened.
win::unique_handle HoldOpen(const std::filesystem::path& file, DWORD access, DWORD share);

// Appends `text` to `file` as UTF-8, creating the file when missing; false when it
// cannot. Several processes may append to the same file.
bool AppendUtf8(const std::filesystem::path& file, std::wstring_view text);

// The lines of a UTF-8 file (none when it is missing), without their line breaks.
std::vector<std::wstring> Utf8Lines(const std::filesystem::path& file);

}  // namespace wine_test
