#include <windows.h>

#include <cstring>
#include <memory>

#include "repair/file_copy.h"
#include "repair/file_copy_steps.h"
#include "win32/raii.h"
#include "win32/wide.h"

namespace repair {
namespace {

using fileio::Error;
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

CopyStatus CopyOnPlatform(const fileio::Path& SouFileName, const fileio::Path& DestFileName) {
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
  if (auto installed = replacement->Install({.durable = true, .attributes = std::nullopt}); !installed)
    return Fail(Side::kDestination, installed.error());
  return {};
}

}  // namespace copy_steps

}  // namespace repair
