#pragma once
// Small file access layer with a POSIX and a Win32 implementation. Paths are UTF-16
// (UTF-8 on POSIX). Every failure comes back as an Error; nothing throws.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// Uninitialized memory for Reader::Read that starts on a page boundary. Where a read
// lands matters: the kernel copies into a destination that lies 1 to 31 bytes past a
// page boundary about three times slower than into one on or well past it (measured on
// AMD EPYC with Linux 6; plain new[] of a large block returns one 16 bytes past). Keep
// the reads into it at multiples of kReadAlignment. A buffer smaller than a page is
// aligned to kReadAlignment only: its reads are short, and a page-aligned block of a
// few bytes would cost a page.
inline constexpr std::size_t kReadAlignment = 64;

class ReadBuffer {
 public:
  static constexpr std::size_t kPage = 4096;
  explicit ReadBuffer(std::size_t size)
      : align_(size < kPage ? kReadAlignment : kPage),
        data_(static_cast<char*>(::operator new[](size, std::align_val_t(align_)))) {}
  ReadBuffer(const ReadBuffer&) = delete;
  ReadBuffer& operator=(const ReadBuffer&) = delete;
  ReadBuffer(ReadBuffer&& other) noexcept : align_(other.align_), data_(std::exchange(other.data_, nullptr)) {}
  ReadBuffer& operator=(ReadBuffer&& other) noexcept {
    std::swap(align_, other.align_);
    std::swap(data_, other.data_);
    return *this;
  }
  ~ReadBuffer() {
    if (data_ != nullptr) ::operator delete[](data_, std::align_val_t(align_));
  }

  char* get() const { return data_; }

 private:
  std::size_t align_;
  char* data_;
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
