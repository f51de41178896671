#include "support/temp_dir.h"

#include <random>
#include <stdexcept>

#include "support/files.h"

namespace testing_support {

TempDir::TempDir() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("kestrova-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(std::string_view name) const { return (path_ / name).string(); }

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  WriteBytes(path_ / name, bytes);
  return File(name);
}

std::string TempDir::Read(std::string_view name) const {
  if (auto bytes = ReadBytes(path_ / name)) return *std::move(bytes);
  throw std::runtime_error("cannot read " + File(name));
}

}  // namespace testing_support
