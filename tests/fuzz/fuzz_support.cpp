#include "fuzz_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fuzz_support {

const std::string& ScratchFile() {
  static const std::string path = [] {
    const auto dir = std::filesystem::temp_directory_path() / ("kestrova-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(std::filesystem::temp_directory_path() / ("kestrova-fuzz-" + std::to_string(getpid())),
                                  ignored);
    });
    return (dir / "p.ini").string();
  }();
  return path;
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail(__FILE__, __LINE__, "write", path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(__FILE__, __LINE__, "read", path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}


std::string Padded(std::string body, std::size_t at, std::size_t count, char fill) {
  if (count == 0) return body;
  body.insert(std::min(at, body.size()), count, fill);
  return body;
}

}  // namespace fuzz_support
