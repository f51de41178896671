#pragma once
// Whole files read and written in one call, by std::filesystem paths (wide on Windows).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace testing_support {

// The bytes of `file`; nothing when it cannot be read.
std::optional<std::string> ReadBytes(const std::filesystem::path& file);

// Makes `bytes` the whole content of `file`; throws std::runtime_error when it cannot.
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);

}  // namespace testing_support
