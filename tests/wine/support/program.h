#pragma once
// Where a test program stands and what it was given: its folder, the paths and
// environment it receives, and text converted between UTF-8, UTF-16 and wide strings.
#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wine_test {

// The folder of the running program (the build folder of the test).
std::filesystem::path ProgramFolder();

// A path from the command line or the environment as Windows reaches it: a Unix path
// (CMake's file names, WINEPREFIX) through drive Z:, any other as it is.
std::filesystem::path WindowsPath(std::wstring_view argument);
// The same for an argument of main(), in the ANSI code page.
std::filesystem::path WindowsPath(const char* argument);

// The environment variable `name`, or nothing when it is not set.
std::optional<std::wstring> EnvironmentVariable(const wchar_t* name);

// Text in the other forms: wide strings for the W functions, UTF-16 for the product's
// core, UTF-8 for records, logs and messages.
std::wstring Wide(std::u16string_view text);
std::wstring WideFromUtf8(std::string_view bytes);
std::string Utf8(std::wstring_view text);
std::u16string Path16(const std::filesystem::path& path);

// "text" in double quotes, as one argument of a command line.
std::wstring Quoted(std::wstring_view text);

// GoogleTest's start for a program that takes the file under test as its first
// argument; the file as Windows reaches it, or nothing after printing the usage.
std::optional<std::filesystem::path> InitWithFileUnderTest(int* argc, char** argv, const char* what);

}  // namespace wine_test
