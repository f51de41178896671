#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "repair/file_copy.h"
#include "repair/file_copy_steps.h"
#include "text/codepage.h"

namespace repair {
namespace {

using fileio::Error;
using Side = CopyFailure::Side;

using copy_steps::Fail;
using copy_steps::kChunk;

using fileio::FileHandle;

int Fd(const FileHandle& file) { return static_cast<int>(file.get()); }

std::unexpected<CopyFailure> FailErrno(Side side, int code = errno) noexcept {
  return Fail(side, fileio::ErrorFromSystem(code));
}

// Reads up to `size` bytes at `offset`, fewer only at the end of the file.
ssize_t ReadAt(int fd, char* buffer, std::size_t size, off_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(fd, buffer + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// True when the file at `path` holds exactly the bytes of `source`. Any doubt counts
// as different.
bool HoldsExactly(const std::string& path, const struct stat& existing, int source, const struct stat& sourceStat) {
  if (!S_ISREG(existing.st_mode) || existing.st_size != sourceStat.st_size) return false;
  if (existing.st_dev == sourceStat.st_dev && existing.st_ino == sourceStat.st_ino) return true;
  const FileHandle fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  auto ours = std::make_unique_for_overwrite<char[]>(kChunk);
  auto theirs = std::make_unique_for_overwrite<char[]>(kChunk);
  for (off_t offset = 0;; offset += static_cast<off_t>(kChunk)) {
    const ssize_t a = ReadAt(source, ours.get(), kChunk, offset);
    const ssize_t b = ReadAt(Fd(fd), theirs.get(), kChunk, offset);
    if (a < 0 || a != b || std::memcmp(ours.get(), theirs.get(), static_cast<std::size_t>(a)) != 0) return false;
    if (static_cast<std::size_t>(a) < kChunk) return true;
  }
}

// The number of bytes copied, or why the copy failed.
using CopiedBytes = std::expected<off_t, CopyFailure>;

// The fallback where the kernel cannot copy between the two files itself.
CopiedBytes CopyThroughBuffer(int from, int to, off_t copied) {
  auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  for (;;) {
    const ssize_t got = read(from, buffer.get(), kChunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return FailErrno(Side::kSource);
    if (got == 0) return copied;
    for (ssize_t done = 0; done < got;) {
      const ssize_t n = write(to, buffer.get() + done, static_cast<std::size_t>(got - done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return FailErrno(Side::kDestination);
      done += n;
    }
    copied += got;
  }
}

// The source's bytes, from its start to its end, into `to`. The kernel copies them
// between the files itself where it can, as cp does.
CopiedBytes CopyData(int from, int to) {
  off_t copied = 0;
  for (bool first = true;; first = false) {
    const ssize_t n = copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (n > 0) {
      copied += n;
      continue;
    }
    if (n == 0) return copied;
    if (errno == EINTR) continue;
    if (first && (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP))
      return CopyThroughBuffer(from, to, copied);
    return FailErrno(errno == EIO ? Side::kSource : Side::kDestination);
  }
}

// Nothing on POSIX keeps another process from writing the source while it is read
// (Windows refuses writers through the share mode). A source whose length changed
// between the open and the end of the copy was being written: what was read may mix
// its old and new bytes, so it is not a component to install.
CopyStatus CheckSourceUnchanged(int source, const struct stat& atOpen, off_t copied) {
  struct stat now;
  if (fstat(source, &now) != 0) return FailErrno(Side::kSource);
  if (copied != atOpen.st_size || now.st_size != atOpen.st_size) return Fail(Side::kSource, Error::kSharingViolation);
  return {};
}

}  // namespace

namespace copy_steps {

CopyStatus CopyOnPlatform(const fileio::Path& SouFileName, const fileio::Path& DestFileName, InstallCalls& calls) {
  if (!fileio::IsUsableName(SouFileName)) return Fail(Side::kSource, Error::kBadName);
  if (!fileio::IsUsableName(DestFileName)) return Fail(Side::kDestination, Error::kBadName);
  const std::string sourcePath = text::ToUtf8(SouFileName);
  const std::string destination = text::ToUtf8(DestFileName);

  // Opened without blocking, so that a pipe in the source's place cannot hold the copy
  // up before it is refused below.
  FileHandle source(open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!source) return FailErrno(Side::kSource);
  struct stat sourceStat;
  if (fstat(Fd(source), &sourceStat) != 0) return FailErrno(Side::kSource);
  if (S_ISDIR(sourceStat.st_mode)) return Fail(Side::kSource, Error::kIsDirectory);
  // Only files are components: a device or a pipe may never end (/dev/zero).
  if (!S_ISREG(sourceStat.st_mode)) return Fail(Side::kSource, Error::kOther);

  struct stat existing;
  const bool exists = stat(destination.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return Fail(Side::kDestination, Error::kIsDirectory);
  // A device or a pipe in the destination's place is never replaced by a file.
  if (exists && !S_ISREG(existing.st_mode)) return Fail(Side::kDestination, Error::kOther);
  if (exists && HoldsExactly(destination, existing, Fd(source), sourceStat)) return {};

  // The replacement refuses a read-only component, as Windows does.
  auto replacement = fileio::Replacement::Create(DestFileName);
  if (!replacement) return Fail(Side::kDestination, replacement.error());
  const CopiedBytes copied = CopyData(Fd(source), static_cast<int>(replacement->NativeHandle()));
  CopyStatus status = copied ? CheckSourceUnchanged(Fd(source), sourceStat, *copied)
                             : CopyStatus(std::unexpected(copied.error()));
  source.Close();
  if (!status) return status;
  // A replaced component keeps its permission bits.
  auto released = replacement->Release({.attributes = replacement->Replaced()});
  if (!released) return Fail(Side::kDestination, released.error());
  return InstallNewFile(calls, *released, DestFileName);
}

}  // namespace copy_steps

namespace {

fileio::Status FromErrno(int result) {
  if (result == 0) return {};
  return std::unexpected(fileio::ErrorFromSystem(errno));
}

// POSIX replaces a file that a program holds open or has mapped: no install meets a
// destination in use, and there is no restart to schedule anything for.
class PosixInstallCalls final : public InstallCalls {
 public:
  bool Exists(const fileio::Path& path) override {
    struct stat st;
    return lstat(text::ToUtf8(path).c_str(), &st) == 0;
  }
  fileio::Status Rename(const fileio::Path& from, const fileio::Path& to) override {
    // A link, then the old name's removal: fails, as MoveFileExW does, when `to` exists.
    const std::string source = text::ToUtf8(from), target = text::ToUtf8(to);
    if (link(source.c_str(), target.c_str()) != 0) return FromErrno(-1);
    return FromErrno(unlink(source.c_str()));
  }
  fileio::Status MoveOver(const fileio::Path& from, const fileio::Path& to) override {
    return fileio::MoveOver(from, to, /*durable=*/true);
  }
  fileio::Status Delete(const fileio::Path& path) override { return FromErrno(unlink(text::ToUtf8(path).c_str())); }
  fileio::Status DeleteAtRestart(const fileio::Path&) override { return std::unexpected(Error::kOther); }
  fileio::Status ReplaceAtRestart(const fileio::Path&, const fileio::Path&) override {
    return std::unexpected(Error::kOther);
  }
  std::vector<fileio::Path> AsideFiles(const fileio::Path& destination) override {
    std::vector<fileio::Path> files;
    const std::string path = text::ToUtf8(destination);
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".~old-";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return files;
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.starts_with(prefix)) files.push_back(destination + text::FromUtf8(name.substr(prefix.size() - 6)));
    }
    closedir(dir);
    return files;
  }
  unsigned long ProcessId() override { return static_cast<unsigned long>(getpid()); }
};

}  // namespace

InstallCalls& SystemInstallCalls() {
  static PosixInstallCalls calls;
  return calls;
}

bool RegisterAtNextLogOn(const fileio::Path&) noexcept { return false; }

}  // namespace repair
