#include <windows.h>

#include <algorithm>
#include <utility>

#include "fileio/file_io.h"
#include "win32/wide.h"

namespace fileio {
namespace {

const std::intptr_t kClosed = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);

using win::Wide;
HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

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


Result<HANDLE> OpenFile(const Path& path, DWORD access, DWORD disposition) {
  if (!IsUsableName(path)) return std::unexpected(Error::kBadName);
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileW(Wide(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::unexpected(FromLastError(path));
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

void CloseIfOpen(std::intptr_t& handle) {
  if (handle != kClosed) CloseHandle(Native(handle));
  handle = kClosed;
}

Path FolderOf(const Path& path) {
  const auto cut = path.find_last_of(u"\\/");
  if (cut == Path::npos) return u".";
  return path.substr(0, cut + 1);
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

bool IsFile(const Path& path) {
  if (!IsUsableName(path)) return false;
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Result<Reader> Reader::Open(const Path& path) {
  auto file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
  if (!file) return std::unexpected(file.error());
  return Reader(reinterpret_cast<std::intptr_t>(*file));
}

Reader::Reader(Reader&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}
Reader& Reader::operator=(Reader&& other) noexcept {
  if (this != &other) {
    CloseIfOpen(handle_);
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}
Reader::~Reader() { CloseIfOpen(handle_); }

Result<std::size_t> Reader::Read(char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  if (!ReadFile(Native(handle_), buffer, want, &got, nullptr)) return std::unexpected(FromLastError(u""));
  return got;
}

Status ReplaceContent(const Path& path, std::string_view content, bool durable) {
  if (!IsUsableName(path)) return std::unexpected(Error::kBadName);
  DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return std::unexpected(Error::kIsDirectory);
    if (attributes & FILE_ATTRIBUTE_READONLY) return std::unexpected(Error::kReadOnly);
  }

  wchar_t temp[MAX_PATH];
  const Path folder = FolderOf(path);
  if (GetTempFileNameW(Wide(folder), L"tmp", 0, temp) == 0) return std::unexpected(FromLastError(folder));
  const Path tempPath(win::Utf16View(temp));

  Status status;
  HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    status = std::unexpected(FromLastError(tempPath));
  } else {
    status = WriteAll(file, tempPath, content);
    if (status && durable && !FlushFileBuffers(file)) status = std::unexpected(FromLastError(tempPath));
    CloseHandle(file);
  }
  // The replacement keeps the hidden and system attributes of the file it replaces.
  if (status && attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(temp, attributes);
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
  if (status && !MoveFileExW(temp, Wide(path), flags)) status = std::unexpected(FromLastError(path));
  if (!status) {
    SetFileAttributesW(temp, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temp);
  }
  return status;
}

Result<Appender> Appender::Open(const Path& path) {
  auto file = OpenFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  if (!file) return std::unexpected(file.error());
  return Appender(reinterpret_cast<std::intptr_t>(*file));
}

Appender::Appender(Appender&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}
Appender& Appender::operator=(Appender&& other) noexcept {
  if (this != &other) {
    CloseIfOpen(handle_);
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}
Appender::~Appender() { CloseIfOpen(handle_); }

Result<std::uint64_t> Reader::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(handle_), &size)) return std::unexpected(FromLastError(u""));
  return static_cast<std::uint64_t>(size.QuadPart);
}

Result<std::uint64_t> Appender::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(handle_), &size)) return std::unexpected(FromLastError(u""));
  return static_cast<std::uint64_t>(size.QuadPart);
}

Result<std::string> Appender::ReadAt(std::uint64_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  LARGE_INTEGER start;
  start.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(Native(handle_), start, nullptr, FILE_BEGIN)) return std::unexpected(FromLastError(u""));
  std::size_t filled = 0;
  while (filled < count) {
    DWORD got = 0;
    if (!ReadFile(Native(handle_), bytes.data() + filled, static_cast<DWORD>(count - filled), &got, nullptr))
      return std::unexpected(FromLastError(u""));
    if (got == 0) break;
    filled += got;
  }
  bytes.resize(filled);
  return bytes;
}

Status Appender::Write(std::string_view bytes) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(Native(handle_), zero, nullptr, FILE_END)) return std::unexpected(FromLastError(u""));
  return WriteAll(Native(handle_), u"", bytes);
}

Status CreateIfMissing(const Path& path) {
  auto file = OpenFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (!file) return std::unexpected(file.error());
  CloseHandle(*file);
  return {};
}

}  // namespace fileio
