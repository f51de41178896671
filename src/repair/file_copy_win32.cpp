#include <windows.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "repair/file_copy.h"
#include "repair/file_copy_steps.h"
#include "win32/process.h"
#include "win32/raii.h"
#include "win32/wide.h"

namespace repair {
namespace {

using fileio::Error;
using fileio::Status;
using Side = CopyFailure::Side;
using win::unique_handle;

using copy_steps::Fail;
using copy_steps::kChunk;

using win::Wide;

std::unexpected<CopyFailure> FailLastError(Side side, DWORD code = GetLastError()) noexcept {
  return Fail(side, fileio::ErrorFromSystem(code));
}

// Reads up to `size` bytes, fewer only at the end of the file; -1 on failure.
long long ReadFull(HANDLE file, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!ReadFile(file, buffer + done, static_cast<DWORD>(size - done), &got, nullptr)) return -1;
    if (got == 0) break;
    done += got;
  }
  return static_cast<long long>(done);
}

// Opens the source for reading. Readers may share it; a writer may not change it meanwhile.
std::expected<unique_handle, CopyFailure> OpenSource(const fileio::Path& path) {
  unique_handle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file) return file;
  const DWORD code = GetLastError();
  const DWORD attributes = GetFileAttributesW(Wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return Fail(Side::kSource, Error::kIsDirectory);
  return FailLastError(Side::kSource, code);
}

// True when the existing destination holds exactly the source's bytes. It is opened
// with every sharing mode, so a component that a running program has loaded can be
// compared. Any doubt counts as different.
bool HoldsExactly(const fileio::Path& path, HANDLE source) {
  unique_handle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  LARGE_INTEGER ourSize, theirSize;
  if (!GetFileSizeEx(source, &ourSize) || !GetFileSizeEx(file.get(), &theirSize) ||
      ourSize.QuadPart != theirSize.QuadPart)
    return false;
  auto ours = std::make_unique_for_overwrite<char[]>(kChunk);
  auto theirs = std::make_unique_for_overwrite<char[]>(kChunk);
  for (;;) {
    const long long a = ReadFull(source, ours.get(), kChunk);
    const long long b = ReadFull(file.get(), theirs.get(), kChunk);
    if (a < 0 || a != b || std::memcmp(ours.get(), theirs.get(), static_cast<std::size_t>(a)) != 0) return false;
    if (static_cast<std::size_t>(a) < kChunk) return true;
  }
}

// The source's bytes, from its start to its end, into `to`.
CopyStatus CopyData(HANDLE from, fileio::Replacement& to) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return FailLastError(Side::kSource);
  auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, buffer.get(), static_cast<DWORD>(kChunk), &got, nullptr)) return FailLastError(Side::kSource);
    if (got == 0) return {};
    if (auto written = to.Write({buffer.get(), got}); !written) return Fail(Side::kDestination, written.error());
  }
}

}  // namespace

namespace copy_steps {

CopyStatus CopyOnPlatform(const fileio::Path& SouFileName, const fileio::Path& DestFileName, InstallCalls& calls) {
  if (!fileio::IsUsableName(SouFileName)) return Fail(Side::kSource, Error::kBadName);
  if (!fileio::IsUsableName(DestFileName)) return Fail(Side::kDestination, Error::kBadName);

  auto source = OpenSource(SouFileName);
  if (!source) return std::unexpected(source.error());

  const DWORD attributes = GetFileAttributesW(Wide(DestFileName));
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(Side::kDestination, Error::kIsDirectory);
  if (exists && HoldsExactly(DestFileName, source->get())) return {};
  // The replacement refuses a read-only destination, as Windows refuses to replace one.
  auto replacement = fileio::Replacement::Create(DestFileName);
  if (!replacement) return Fail(Side::kDestination, replacement.error());
  CopyStatus status = CopyData(source->get(), *replacement);
  if (!source->reset() && status) status = FailLastError(Side::kSource);
  if (!status) return status;
  auto released = replacement->Release({.durable = true, .attributes = std::nullopt});
  if (!released) return Fail(Side::kDestination, released.error());
  return InstallNewFile(calls, *released, DestFileName);
}

}  // namespace copy_steps

namespace {

Status FromLastError() { return std::unexpected(fileio::ErrorFromSystem(GetLastError())); }

// The path under which a process of the machine's own kind finds `path`. A 32-bit
// program on 64-bit Windows sees SysWOW64 under the name System32, but what it
// schedules for the restart and for the log-on is carried out by 64-bit code, to which
// System32 is System32: the file's final path, as the system reports it for an open
// handle, names the folder where the file really is. The path as given when the file
// cannot be opened.
std::wstring RealPath(const fileio::Path& path) {
  const unique_handle file(CreateFileW(Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::wstring given(Wide(path));
  if (!file) return given;
  std::wstring real(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(file.get(), real.data(), static_cast<DWORD>(real.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return given;
    if (n < real.size()) {
      real.resize(n);
      break;
    }
    real.resize(n + 1);
  }
  // "\\?\C:\..." becomes "C:\...", as a command line names it; a share keeps its prefix.
  if (real.starts_with(L"\\\\?\\") && real.size() > 6 && real[5] == L':') real.erase(0, 4);
  return real;
}

class Win32InstallCalls final : public InstallCalls {
 public:
  bool Exists(const fileio::Path& path) override { return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES; }

  Status Rename(const fileio::Path& from, const fileio::Path& to) override {
    if (!MoveFileExW(Wide(from), Wide(to), 0)) return FromLastError();
    return {};
  }

  Status MoveOver(const fileio::Path& from, const fileio::Path& to) override {
    return fileio::MoveOver(from, to, /*durable=*/true);
  }

  Status Delete(const fileio::Path& path) override {
    if (!DeleteFileW(Wide(path))) return FromLastError();
    return {};
  }

  Status DeleteAtRestart(const fileio::Path& path) override {
    if (!MoveFileExW(RealPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return FromLastError();
    return {};
  }

  Status ReplaceAtRestart(const fileio::Path& from, const fileio::Path& to) override {
    if (!MoveFileExW(RealPath(from).c_str(), RealPath(to).c_str(),
                     MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
      return FromLastError();
    return {};
  }

  std::vector<fileio::Path> AsideFiles(const fileio::Path& destination) override {
    std::vector<fileio::Path> files;
    const std::size_t cut = destination.find_last_of(u"\\/");
    const std::size_t nameLength = destination.size() - (cut == fileio::Path::npos ? 0 : cut + 1);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Wide(destination + u".~old-*.tmp"), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
      const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
      // The destination as spelled, then the found name's own ending: Windows matches
      // names in any letter case.
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > nameLength)
        files.push_back(destination + name.substr(nameLength));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
  }

  unsigned long ProcessId() override { return GetCurrentProcessId(); }
};

}  // namespace

InstallCalls& SystemInstallCalls() {
  static Win32InstallCalls calls;
  return calls;
}

bool RegisterAtNextLogOn(const fileio::Path& file) noexcept {
  try {
    // The system's regsvr32 of this program's kind (for a 32-bit program on 64-bit
    // Windows SysWOW64's), by the name that the 64-bit code of the log-on reaches it by.
    std::u16string regsvr32, folder;
    if (FAILED(win::SystemProgramPath(win::SystemProgram::kRegsvr32, regsvr32, folder))) return false;
    const std::wstring command = L"\"" + RealPath(regsvr32) + L"\" /s \"" + RealPath(file) + L"\"";
    const std::u16string name = file.substr(file.find_last_of(u"\\/") + 1);
    const std::wstring value = L"Mendora " + std::wstring(Wide(name));
    // The machine's own view: 64-bit Windows carries out the entries of its 64-bit view.
    win::unique_hkey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
      return false;
    return RegSetValueExW(key.get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                          static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace repair
