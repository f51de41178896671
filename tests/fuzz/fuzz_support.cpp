#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace fuzz_support {

namespace {

// The folder for scratch files: RAM-backed where the system has one, so that a target
// that must go through a file costs a few system calls per input, not disk writes.
std::filesystem::path ScratchRoot() {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

const std::filesystem::path& ScratchFolderPath() {
  static const std::filesystem::path dir = [] {
    auto path = ScratchRoot() / ("kestrova-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchFolderPath(), ignored);
    });
    return path;
  }();
  return dir;
}

}  // namespace

const std::string& ScratchFolder() {
  static const std::string path = ScratchFolderPath().string();
  return path;
}

const std::string& ScratchFile() {
  static const std::string path = (ScratchFolderPath() / "p.ini").string();
  return path;
}

void WriteFile(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail(__FILE__, __LINE__, "open", path);
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) Fail(__FILE__, __LINE__, "write", path);
    done += static_cast<std::size_t>(n);
  }
  close(fd);
}

std::string ReadFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail(__FILE__, __LINE__, "read", path);
  std::string bytes;
  char buffer[16 * 1024];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) Fail(__FILE__, __LINE__, "read", path);
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return bytes;
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

std::string Padded(std::string body, std::size_t at, std::size_t count, char fill) {
  if (count == 0) return body;
  body.insert(std::min(at, body.size()), count, fill);
  return body;
}

}  // namespace fuzz_support
