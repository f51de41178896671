#pragma once
// Other programs started and waited for, each wait with a bound, and conditions
// polled until they hold.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "win32/raii.h"

namespace wine_test {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// Polls `condition` every 20 ms until it holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout);

// Runs `commandLine` (the platform's search finds the program) shown as `show`, and
// waits at most `bound` for it: its exit code, or nothing when it could not be started
// or has not ended.
std::optional<DWORD> RunToEnd(std::wstring_view commandLine, Milliseconds bound = 60s, int show = SW_SHOWNORMAL);

// A program started in its own folder, as a user's double click starts it.
struct StartedProgram {
  win::unique_handle process;
  DWORD id = 0;
};
// Starts `exe`; the Win32 error when it cannot.
DWORD StartInItsFolder(const std::filesystem::path& exe, StartedProgram& started);
// Starts `exe` with `currentFolder` as its current folder, as a shortcut or a prompt in
// that folder would.
DWORD StartIn(const std::filesystem::path& exe, const std::filesystem::path& currentFolder, StartedProgram& started);

}  // namespace wine_test
