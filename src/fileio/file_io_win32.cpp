#include <windows.h>

#include <atomic>
#include <cstdio>
#include <utility>

#include "fileio/file_io.h"
#include "win32/wide.h"

namespace fileio {
namespace {

using win::Wide;
HANDLE Native(const FileHandle& file) { return reinterpret_cast<HANDLE>(file.get()); }
FileHandle Owned(HANDLE handle) { return FileHandle(reinterpret_cast<std::intptr_t>(handle)); }

bool IsDirectory(const Path& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The Error of the thread's last error; access denied on a folder means that a folder
// stands where a file should be.
Error FromLastError(const Path& path, DWORD code = GetLastError()) {
  const Error error = ErrorFromSystem(code);
  return error == Error::kAccessDenied && code == ERROR_ACCESS_DENIED && IsDirectory(path) ? Error::kIsDirectory
                                                                                           : error;
}

Result<FileHandle> OpenFile(const Path& path, DWORD access, DWORD disposition) {
  if (!IsUsableName(path)) return std::unexpected(Error::kBadName);
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  FileHandle file = Owned(CreateFileW(Wide(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::unexpected(FromLastError(path));
  return file;
}

Status WriteAll(HANDLE file, const Path& path, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return std::unexpected(FromLastError(path));
    bytes.remove_prefix(written);
  }
  return {};
}

// MoveFileExW reports a destination that cannot be replaced as "access denied" both
// for missing rights and for a file in use, such as a loaded component. One in use
// refuses to be opened for writing with a sharing error; that tells the two apart.
Error ReplaceError(const Path& destination, DWORD code) {
  if (code != ERROR_ACCESS_DENIED) return ErrorFromSystem(code);
  const DWORD attributes = GetFileAttributesW(Wide(destination));
  if (attributes == INVALID_FILE_ATTRIBUTES) return Error::kAccessDenied;
  if (attributes & FILE_ATTRIBUTE_READONLY) return Error::kReadOnly;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Error::kIsDirectory;
  const FileHandle probe = Owned(CreateFileW(Wide(destination), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (probe) return Error::kAccessDenied;
  const Error probed = ErrorFromSystem(GetLastError());
  return probed == Error::kSharingViolation ? probed : Error::kAccessDenied;
}

}  // namespace

Error ErrorFromSystem(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return Error::kNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE: return Error::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD: return Error::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return Error::kSharingViolation;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY: return Error::kBadName;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Error::kDiskFull;
    default: return Error::kOther;
  }
}

bool FileHandle::Close() noexcept {
  return value_ == kNone || CloseHandle(reinterpret_cast<HANDLE>(release())) != FALSE;
}

bool IsFile(const Path& path) {
  if (!IsUsableName(path)) return false;
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Result<Reader> Reader::Open(const Path& path) {
  auto file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
  if (!file) return std::unexpected(file.error());
  return Reader(std::move(*file));
}

Result<std::size_t> Reader::Read(char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  if (!ReadFile(Native(file_), buffer, want, &got, nullptr)) return std::unexpected(FromLastError(u""));
  return got;
}

// Symbolic links are not followed: MoveFileExW replaces the link itself.
Result<Replacement> Replacement::Create(const Path& destination, Link) {
  if (!IsUsableName(destination)) return std::unexpected(Error::kBadName);
  std::optional<std::uint32_t> replaced;
  if (const DWORD attributes = GetFileAttributesW(Wide(destination)); attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return std::unexpected(Error::kIsDirectory);
    // Windows refuses to replace a read-only file; say so before anything is written
    // (some platforms' MoveFileExW replaces it regardless).
    if (attributes & FILE_ATTRIBUTE_READONLY) return std::unexpected(Error::kReadOnly);
    replaced = attributes;
  }

  // The destination's own name with a suffix that no other replacement uses, so that
  // no separator has to be looked for.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    const int n = std::snprintf(suffix, sizeof suffix, ".~%lx-%x.tmp", GetCurrentProcessId(), counter.fetch_add(1));
    Path temp = destination + Path(suffix, suffix + n);
    FileHandle file = Owned(CreateFileW(Wide(temp), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return Replacement(destination, std::move(temp), std::move(file), replaced);
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
      return std::unexpected(code == ERROR_FILE_NOT_FOUND ? Error::kPathNotFound : ErrorFromSystem(code));
  }
  return std::unexpected(Error::kOther);
}

Replacement::~Replacement() { Discard(); }

void Replacement::Discard() noexcept {
  file_.Close();
  if (temp_.empty()) return;
  SetFileAttributesW(Wide(temp_), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(Wide(temp_));
  temp_.clear();
}

Status Replacement::Write(std::string_view bytes) { return WriteAll(Native(file_), u"", bytes); }

Status Replacement::Close(const Placement& placement) {
  Status status;
  if (placement.durable && !FlushFileBuffers(Native(file_))) status = std::unexpected(ErrorFromSystem(GetLastError()));
  if (!file_.Close() && status) status = std::unexpected(ErrorFromSystem(GetLastError()));
  if (!status) Discard();
  if (status && placement.attributes) SetFileAttributesW(Wide(temp_), *placement.attributes);
  return status;
}

Status Replacement::Install(const Placement& placement) {
  Status status = Close(placement);
  if (status) status = MoveOver(temp_, destination_, placement.durable);
  if (status) temp_.clear();
  Discard();
  return status;
}

Result<Path> Replacement::Release(const Placement& placement) {
  if (Status closed = Close(placement); !closed) return std::unexpected(closed.error());
  return std::exchange(temp_, {});
}

Status MoveOver(const Path& from, const Path& to, bool durable) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
  if (!MoveFileExW(Wide(from), Wide(to), flags)) return std::unexpected(ReplaceError(to, GetLastError()));
  return {};
}

Status ReplaceContent(const Path& path, std::string_view content, bool durable) {
  auto replacement = Replacement::Create(path);
  if (!replacement) return std::unexpected(replacement.error());
  if (Status written = replacement->Write(content); !written) return written;
  // The new file keeps the hidden and system attributes of the file it replaces.
  return replacement->Install({.durable = durable, .attributes = replacement->Replaced()});
}

Result<Appender> Appender::Open(const Path& path) {
  auto file = OpenFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  if (!file) return std::unexpected(file.error());
  return Appender(std::move(*file));
}

Result<std::uint64_t> Reader::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(file_), &size)) return std::unexpected(FromLastError(u""));
  return static_cast<std::uint64_t>(size.QuadPart);
}

Result<std::uint64_t> Appender::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(file_), &size)) return std::unexpected(FromLastError(u""));
  return static_cast<std::uint64_t>(size.QuadPart);
}

Result<std::string> Appender::ReadAt(std::uint64_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  LARGE_INTEGER start;
  start.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(Native(file_), start, nullptr, FILE_BEGIN)) return std::unexpected(FromLastError(u""));
  std::size_t filled = 0;
  while (filled < count) {
    DWORD got = 0;
    if (!ReadFile(Native(file_), bytes.data() + filled, static_cast<DWORD>(count - filled), &got, nullptr))
      return std::unexpected(FromLastError(u""));
    if (got == 0) break;
    filled += got;
  }
  bytes.resize(filled);
  return bytes;
}

Status Appender::Write(std::string_view bytes) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(Native(file_), zero, nullptr, FILE_END)) return std::unexpected(FromLastError(u""));
  return WriteAll(Native(file_), u"", bytes);
}

Status CreateIfMissing(const Path& path) {
  auto file = OpenFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (!file) return std::unexpected(file.error());
  return {};
}

}  // namespace fileio
