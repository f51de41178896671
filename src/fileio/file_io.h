#pragma once
// Small file access layer with a POSIX and a Win32 implementation. Paths are UTF-16
// (UTF-8 on POSIX). Every failure comes back as an Error; nothing throws.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace fileio {

using Path = std::u16string;

enum class Error {
  kNotFound,          // no such file
  kPathNotFound,      // a folder of the path is missing
  kAccessDenied,      // no rights
  kReadOnly,          // the file is read-only
  kSharingViolation,  // another process holds the file open
  kIsDirectory,       // a folder stands where the file should be
  kBadName,           // the name cannot be a file name (empty, NUL, too long)
  kDiskFull,
  kOther,
};

// The Error for a system error code: an errno value on POSIX, a Win32 error code on
// Windows.
Error ErrorFromSystem(unsigned long code);

template <class T>
using Result = std::expected<T, Error>;
using Status = std::expected<void, Error>;

// True when `path` can be a file name at all: not empty and without a NUL unit.
inline bool IsUsableName(const Path& path) { return !path.empty() && path.find(u'\0') == Path::npos; }

// The folder part of a module's full path, as Windows reports folders: without a
// trailing backslash, except at a drive root ("C:\Mendora.exe" gives "C:\").
std::u16string FolderOfModule(std::u16string_view moduleFileName);

// True when `path` names an existing file (read-only, hidden and system files
// included) and not a folder.
bool IsFile(const Path& path);

// Sequential reading through the caller's buffer.
class Reader {
 public:
  static Result<Reader> Open(const Path& path);
  Reader(Reader&& other) noexcept;
  Reader& operator=(Reader&& other) noexcept;
  ~Reader();

  // Reads up to `size` bytes; 0 at the end of the file.
  Result<std::size_t> Read(char* buffer, std::size_t size);
  // The size of the file now.
  Result<std::uint64_t> Size();

 private:
  explicit Reader(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// The whole content of a file.
Result<std::string> ReadAll(const Path& path);

// Puts `content` in place of the file at `path` in one step: the bytes go into a new
// temporary file beside it, which then replaces the file. On failure the temporary
// file is removed and the file at `path` is untouched. A read-only file is refused.
// With `durable`, the data reach the disk before the replacement.
Status ReplaceContent(const Path& path, std::string_view content, bool durable = false);

// Appending to an existing file.
class Appender {
 public:
  static Result<Appender> Open(const Path& path);
  Appender(Appender&& other) noexcept;
  Appender& operator=(Appender&& other) noexcept;
  ~Appender();

  Result<std::uint64_t> Size();
  // The bytes from `offset` on, at most `count`: fewer where the file ends.
  Result<std::string> ReadAt(std::uint64_t offset, std::size_t count);
  // The first or the last `count` bytes of the file, fewer when the file is shorter.
  Result<std::string> FirstBytes(std::size_t count) { return ReadAt(0, count); }
  Result<std::string> LastBytes(std::size_t count);
  Status Write(std::string_view bytes);

 private:
  explicit Appender(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// Opens the file for reading and writing, creating it empty when missing and leaving
// an existing file as it is, and closes it again.
Status CreateIfMissing(const Path& path);

}  // namespace fileio
