#pragma once
// A fresh folder for one test, removed with everything in it at the end.
#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Path of `name` inside the folder, as UTF-8 text.
  std::string File(std::string_view name) const;
  // Writes `bytes` to `name` and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // The bytes of `name`.
  std::string Read(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
