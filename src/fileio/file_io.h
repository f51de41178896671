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

// True when `path` names an existing file (read-only, hidden and system files
// included) and not a folder.
bool IsFile(const Path& path);

// An open file, closed when its owner goes: a file descriptor on POSIX, a HANDLE on
// Windows (where -1 is INVALID_HANDLE_VALUE).
class FileHandle {
 public:
  static constexpr std::intptr_t kNone = -1;

  FileHandle() noexcept = default;
  explicit FileHandle(std::intptr_t value) noexcept : value_(value) {}
  FileHandle(FileHandle&& other) noexcept : value_(other.release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) {
      Close();
      value_ = other.release();
    }
    return *this;
  }
  ~FileHandle() { Close(); }

  std::intptr_t get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != kNone; }
  std::intptr_t release() noexcept { return std::exchange(value_, kNone); }
  // Closes the file now; false when the system reports that the close failed.
  bool Close() noexcept;

 private:
  std::intptr_t value_ = kNone;
};

// Sequential reading through the caller's buffer.
class Reader {
 public:
  static Result<Reader> Open(const Path& path);

  // Reads up to `size` bytes; 0 at the end of the file.
  Result<std::size_t> Read(char* buffer, std::size_t size);
  // The size of the file now.
  Result<std::uint64_t> Size();

 private:
  explicit Reader(FileHandle file) : file_(std::move(file)) {}
  FileHandle file_;
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

// A new file that takes the place of `destination` in one step. It is created beside
// the destination, in its folder, under the destination's name with a suffix of its
// own; Install closes it and moves it over the destination (rename on POSIX,
// MoveFileExW with MOVEFILE_REPLACE_EXISTING on Windows). Until then the destination is
// untouched, and a file that is not installed is closed and removed when its owner goes.
class Replacement {
 public:
  // What takes the new file when the destination is a symbolic link. On Windows it is
  // always the link itself, which MoveFileExW replaces.
  enum class Link {
    kReplaced,  // the link's place: the link becomes a file
    kFollowed,  // the file it names (POSIX), as a write into the file would reach it
  };

  // A folder (kIsDirectory) and a read-only file (kReadOnly) in the destination's place
  // are refused; otherwise the errors are those of creating a file in its folder
  // (kPathNotFound when the folder is missing).
  static Result<Replacement> Create(const Path& destination, Link link = Link::kReplaced);
  Replacement(Replacement&& other) noexcept;
  Replacement& operator=(Replacement&&) = delete;
  ~Replacement();

  // The permission bits (POSIX) or the attributes (Windows) of the file that is to be
  // replaced; nothing when there is none.
  std::optional<std::uint32_t> Replaced() const { return replaced_; }
  // The open new file, for a writer of its own.
  std::intptr_t NativeHandle() const noexcept { return file_.get(); }
  Status Write(std::string_view bytes);

  struct Placement {
    // The bytes reach the disk before the file takes the destination's place.
    bool durable = false;
    // Permission bits (POSIX) or attributes (Windows) for the new file; without them it
    // keeps those it was created with.
    std::optional<std::uint32_t> attributes;
  };
  // Closes the file and moves it over the destination. On failure it is removed.
  Status Install(const Placement& placement);
  // Closes the file as Install does and hands it to the caller under its temporary
  // name, which it returns: moving it into place, or removing it, is the caller's from
  // then on. On failure it is removed.
  Result<Path> Release(const Placement& placement);

 private:
#ifdef _WIN32
  using NativeName = std::u16string;
#else
  using NativeName = std::string;  // the bytes the system takes (UTF-8 for our paths)
#endif
  Replacement(NativeName destination, NativeName temp, FileHandle file, std::optional<std::uint32_t> replaced)
      : destination_(std::move(destination)), temp_(std::move(temp)), file_(std::move(file)), replaced_(replaced) {}
  // Closes the new file and removes it, unless it was installed.
  void Discard() noexcept;
  // Closes the new file as Install and Release do; on failure it is removed.
  Status Close(const Placement& placement);

  NativeName destination_, temp_;  // temp_ is empty once the file is installed or removed
  FileHandle file_;
  std::optional<std::uint32_t> replaced_;
};

// Moves the file `from` over the file `to` in one step (rename on POSIX, MoveFileExW
// with MOVEFILE_REPLACE_EXISTING on Windows, and MOVEFILE_WRITE_THROUGH when durable).
// A destination that a running program holds fails with kSharingViolation, a
// read-only one with kReadOnly, a folder with kIsDirectory.
Status MoveOver(const Path& from, const Path& to, bool durable = false);

// Puts `content` in place of the file at `path` in one step, through a Replacement
// that keeps the replaced file's permission bits (POSIX) or attributes (Windows). A
// link at `path` keeps naming the file, which gets the new content (POSIX). A new file
// gets the permission bits rw-r--r--. With `durable`, the data reach the disk before
// the replacement.
Status ReplaceContent(const Path& path, std::string_view content, bool durable = false);

// Appending to an existing file.
class Appender {
 public:
  static Result<Appender> Open(const Path& path);

  Result<std::uint64_t> Size();
  // The bytes from `offset` on, at most `count`: fewer where the file ends.
  Result<std::string> ReadAt(std::uint64_t offset, std::size_t count);
  // The first or the last `count` bytes of the file, fewer when the file is shorter.
  Result<std::string> FirstBytes(std::size_t count) { return ReadAt(0, count); }
  Result<std::string> LastBytes(std::size_t count);
  Status Write(std::string_view bytes);

 private:
  explicit Appender(FileHandle file) : file_(std::move(file)) {}
  FileHandle file_;
};

// Opens the file for reading and writing, creating it empty when missing and leaving
// an existing file as it is, and closes it again.
Status CreateIfMissing(const Path& path);

}  // namespace fileio
