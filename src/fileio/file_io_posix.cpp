#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <utility>

#include "fileio/file_io.h"
#include "text/codepage.h"

namespace fileio {
namespace {

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

int Fd(const FileHandle& file) { return static_cast<int>(file.get()); }

Result<FileHandle> OpenFile(const Path& path, int flags, mode_t mode = 0) {
  auto native = NativePath(path);
  if (!native) return std::unexpected(native.error());
  FileHandle file(open(native->c_str(), flags | O_CLOEXEC, mode));
  if (!file) {
    const int code = errno;
    if (code == ENOENT) return std::unexpected(MissingOrPath(*native));
    return std::unexpected(ErrorFromSystem(code));
  }
  struct stat st;
  if (fstat(Fd(file), &st) == 0 && S_ISDIR(st.st_mode)) return std::unexpected(Error::kIsDirectory);
  return file;
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

bool FileHandle::Close() noexcept { return value_ == kNone || close(static_cast<int>(release())) == 0; }

bool IsFile(const Path& path) {
  auto native = NativePath(path);
  struct stat st;
  return native && stat(native->c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

Result<Reader> Reader::Open(const Path& path) {
  auto file = OpenFile(path, O_RDONLY);
  if (!file) return std::unexpected(file.error());
  return Reader(std::move(*file));
}

Result<std::size_t> Reader::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = read(Fd(file_), buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::unexpected(ErrorFromSystem(errno));
  }
}

Result<Replacement> Replacement::Create(const Path& destination, Link link) {
  auto native = NativePath(destination);
  if (!native) return std::unexpected(native.error());
  std::string target = std::move(*native);
  if (char resolved[PATH_MAX]; link == Link::kFollowed && realpath(target.c_str(), resolved) != nullptr) {
    target = resolved;
  }

  std::optional<std::uint32_t> replaced;
  if (struct stat st; stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return std::unexpected(Error::kIsDirectory);
    if (IsReadOnly(st)) return std::unexpected(Error::kReadOnly);
    replaced = st.st_mode & 07777;
  }

  // The destination's own name with a suffix that no other replacement uses, so that
  // no separator has to be looked for.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".~%x-%x.tmp", static_cast<unsigned>(getpid()), counter.fetch_add(1));
    std::string temp = target + suffix;
    FileHandle file(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file) return Replacement(std::move(target), std::move(temp), std::move(file), replaced);
    // With O_CREAT, a missing name means a missing folder.
    if (errno != EEXIST) return std::unexpected(errno == ENOENT ? Error::kPathNotFound : ErrorFromSystem(errno));
  }
  return std::unexpected(Error::kOther);
}

Replacement::~Replacement() { Discard(); }

void Replacement::Discard() noexcept {
  file_.Close();
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

Status Replacement::Write(std::string_view bytes) { return WriteAll(Fd(file_), bytes); }

// Closes the file as Install and Release do; on failure it is removed.
Status Replacement::Close(const Placement& placement) {
  Status status;
  if (placement.attributes && fchmod(Fd(file_), static_cast<mode_t>(*placement.attributes)) != 0)
    status = std::unexpected(ErrorFromSystem(errno));
  if (status && placement.durable && fsync(Fd(file_)) != 0) status = std::unexpected(ErrorFromSystem(errno));
  if (!file_.Close() && status) status = std::unexpected(ErrorFromSystem(errno));
  if (!status) Discard();
  return status;
}

Status Replacement::Install(const Placement& placement) {
  Status status = Close(placement);
  if (status && rename(temp_.c_str(), destination_.c_str()) != 0) status = std::unexpected(ErrorFromSystem(errno));
  if (status) temp_.clear();
  Discard();
  return status;
}

Result<Path> Replacement::Release(const Placement& placement) {
  if (Status closed = Close(placement); !closed) return std::unexpected(closed.error());
  return text::FromUtf8(std::exchange(temp_, {}));
}

Status MoveOver(const Path& from, const Path& to, bool) {
  auto source = NativePath(from);
  if (!source) return std::unexpected(source.error());
  auto target = NativePath(to);
  if (!target) return std::unexpected(target.error());
  if (rename(source->c_str(), target->c_str()) != 0) return std::unexpected(ErrorFromSystem(errno));
  return {};
}

Status ReplaceContent(const Path& path, std::string_view content, bool durable) {
  auto replacement = Replacement::Create(path, Replacement::Link::kFollowed);
  if (!replacement) return std::unexpected(replacement.error());
  if (Status written = replacement->Write(content); !written) return written;
  return replacement->Install({.durable = durable, .attributes = replacement->Replaced().value_or(0644)});
}

Result<Appender> Appender::Open(const Path& path) {
  auto file = OpenFile(path, O_RDWR | O_APPEND);
  if (!file) return std::unexpected(file.error());
  return Appender(std::move(*file));
}

Result<std::uint64_t> Reader::Size() {
  struct stat st;
  if (fstat(Fd(file_), &st) != 0) return std::unexpected(ErrorFromSystem(errno));
  return static_cast<std::uint64_t>(st.st_size);
}

Result<std::uint64_t> Appender::Size() {
  struct stat st;
  if (fstat(Fd(file_), &st) != 0) return std::unexpected(ErrorFromSystem(errno));
  return static_cast<std::uint64_t>(st.st_size);
}

Result<std::string> Appender::ReadAt(std::uint64_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  std::size_t filled = 0;
  while (filled < count) {
    const auto got = pread(Fd(file_), bytes.data() + filled, count - filled,
                           static_cast<off_t>(offset + filled));
    if (got < 0) return std::unexpected(ErrorFromSystem(errno));
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return bytes;
}

Status Appender::Write(std::string_view bytes) { return WriteAll(Fd(file_), bytes); }

Status CreateIfMissing(const Path& path) {
  auto file = OpenFile(path, O_RDWR | O_CREAT, 0644);
  if (!file) return std::unexpected(file.error());
  return {};
}

}  // namespace fileio
