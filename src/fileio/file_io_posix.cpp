#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "fileio/file_io.h"
#include "text/codepage.h"

namespace fileio {
namespace {

constexpr std::intptr_t kClosed = -1;

// Distinguishes a missing file from a missing folder, as Windows does.
Error MissingOrPath(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return Error::kNotFound;
  struct stat st;
  if (stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Error::kPathNotFound;
  return Error::kNotFound;
}

Result<std::string> NativePath(const Path& path) {
  if (path.empty() || path.find(u'\0') != Path::npos) return std::unexpected(Error::kBadName);
  std::string utf8 = text::ToUtf8(path);
  if (utf8.size() >= PATH_MAX) return std::unexpected(Error::kBadName);
  return utf8;
}

Result<int> OpenFile(const Path& path, int flags, mode_t mode = 0) {
  auto native = NativePath(path);
  if (!native) return std::unexpected(native.error());
  const int fd = open(native->c_str(), flags | O_CLOEXEC, mode);
  if (fd >= 0) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      close(fd);
      return std::unexpected(Error::kIsDirectory);
    }
    return fd;
  }
  const int code = errno;
  if (code == ENOENT) return std::unexpected(MissingOrPath(*native));
  return std::unexpected(ErrorFromSystem(code));
}

Status WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(ErrorFromSystem(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

// A file without any write permission bit stands for a read-only file.
bool IsReadOnly(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

void CloseHandle(std::intptr_t& handle) {
  if (handle != kClosed) close(static_cast<int>(handle));
  handle = kClosed;
}

}  // namespace

Error ErrorFromSystem(unsigned long code) {
  switch (static_cast<int>(code)) {
    case ENOENT: return Error::kNotFound;
    case ENOTDIR: return Error::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return Error::kAccessDenied;
    case ETXTBSY:
    case EBUSY: return Error::kSharingViolation;
    case EISDIR: return Error::kIsDirectory;
    case ENAMETOOLONG:
    case EINVAL: return Error::kBadName;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return Error::kDiskFull;
    default: return Error::kOther;
  }
}

bool IsFile(const Path& path) {
  auto native = NativePath(path);
  struct stat st;
  return native && stat(native->c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

Result<Reader> Reader::Open(const Path& path) {
  auto fd = OpenFile(path, O_RDONLY);
  if (!fd) return std::unexpected(fd.error());
  return Reader(*fd);
}

Reader::Reader(Reader&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}
Reader& Reader::operator=(Reader&& other) noexcept {
  if (this != &other) {
    CloseHandle(handle_);
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}
Reader::~Reader() { CloseHandle(handle_); }

Result<std::size_t> Reader::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = read(static_cast<int>(handle_), buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::unexpected(ErrorFromSystem(errno));
  }
}

Status ReplaceContent(const Path& path, std::string_view content, bool durable) {
  auto native = NativePath(path);
  if (!native) return std::unexpected(native.error());

  // Replace the file a link points to, not the link.
  std::string target = *native;
  if (char resolved[PATH_MAX]; realpath(native->c_str(), resolved) != nullptr) target = resolved;

  mode_t mode = 0644;
  struct stat st;
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return std::unexpected(Error::kIsDirectory);
    if (IsReadOnly(st)) return std::unexpected(Error::kReadOnly);
    mode = st.st_mode & 07777;
  }

  std::string temp = target + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    const int code = errno;
    if (code == ENOENT) return std::unexpected(MissingOrPath(target));
    return std::unexpected(ErrorFromSystem(code));
  }
  Status status = WriteAll(fd, content);
  if (status && fchmod(fd, mode) != 0) status = std::unexpected(ErrorFromSystem(errno));
  if (status && durable && fsync(fd) != 0) status = std::unexpected(ErrorFromSystem(errno));
  if (close(fd) != 0 && status) status = std::unexpected(ErrorFromSystem(errno));
  if (status && rename(temp.c_str(), target.c_str()) != 0) status = std::unexpected(ErrorFromSystem(errno));
  if (!status) unlink(temp.c_str());
  return status;
}

Result<Appender> Appender::Open(const Path& path) {
  auto fd = OpenFile(path, O_RDWR | O_APPEND);
  if (!fd) return std::unexpected(fd.error());
  return Appender(*fd);
}

Appender::Appender(Appender&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}
Appender& Appender::operator=(Appender&& other) noexcept {
  if (this != &other) {
    CloseHandle(handle_);
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}
Appender::~Appender() { CloseHandle(handle_); }

Result<std::uint64_t> Reader::Size() {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) return std::unexpected(ErrorFromSystem(errno));
  return static_cast<std::uint64_t>(st.st_size);
}

Result<std::uint64_t> Appender::Size() {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) return std::unexpected(ErrorFromSystem(errno));
  return static_cast<std::uint64_t>(st.st_size);
}

Result<std::string> Appender::ReadAt(std::uint64_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  std::size_t filled = 0;
  while (filled < count) {
    const auto got = pread(static_cast<int>(handle_), bytes.data() + filled, count - filled,
                           static_cast<off_t>(offset + filled));
    if (got < 0) return std::unexpected(ErrorFromSystem(errno));
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return bytes;
}

Status Appender::Write(std::string_view bytes) { return WriteAll(static_cast<int>(handle_), bytes); }

Status CreateIfMissing(const Path& path) {
  auto fd = OpenFile(path, O_RDWR | O_CREAT, 0644);
  if (!fd) return std::unexpected(fd.error());
  close(*fd);
  return {};
}

}  // namespace fileio
