#include "repair/file_copy.h"

#include <atomic>
#include <cstdio>
#include <new>

#include "repair/file_copy_steps.h"

namespace repair {
namespace {

using fileio::Error;
using fileio::Path;
using Side = CopyFailure::Side;

constexpr std::u16string_view kAsideInfix = u".~old-";
constexpr std::u16string_view kAsideSuffix = u".tmp";

// True when `path` is `destination` followed by ".~old-", something, and ".tmp".
bool IsAsideFileOf(const Path& path, const Path& destination) {
  return path.size() > destination.size() + kAsideInfix.size() + kAsideSuffix.size() &&
         path.starts_with(destination) && std::u16string_view(path).substr(destination.size()).starts_with(kAsideInfix) &&
         path.ends_with(kAsideSuffix);
}

// The destination in use, whose direct replacement was refused: renamed aside, the new
// file moved in, the old one deleted at the restart; or, when it cannot be renamed,
// the new file scheduled to replace it at the restart.
CopyStatus InstallOverInUse(InstallCalls& calls, const Path& newFile, const Path& destination) {
  static std::atomic<unsigned> serial{0};
  const unsigned long pid = calls.ProcessId();
  Path aside;
  for (int attempt = 0; attempt < 100 && aside.empty(); ++attempt) {
    Path name = AsideName(destination, pid, serial.fetch_add(1));
    if (!calls.Exists(name)) aside = std::move(name);
  }
  if (aside.empty()) return copy_steps::Fail(Side::kDestination, Error::kSharingViolation);

  if (!calls.Rename(destination, aside)) {
    if (calls.ReplaceAtRestart(newFile, destination)) return CopyOutcome::kAtRestart;
    return copy_steps::Fail(Side::kDestination, Error::kSharingViolation);
  }
  // Scheduled before the new file moves in, so that no aside file is ever left that
  // the restart does not delete.
  if (!calls.DeleteAtRestart(aside)) {
    if (!calls.Rename(aside, destination)) {
      // The name is free but the old file cannot return to it: the new one takes it,
      // and the old one stays aside for the next repair to remove.
      if (calls.MoveOver(newFile, destination)) return CopyOutcome::kReplacedInUse;
    }
    return copy_steps::Fail(Side::kDestination, Error::kSharingViolation);
  }
  if (auto moved = calls.MoveOver(newFile, destination); !moved) {
    // Back: the old file keeps its name, and the deletion scheduled for the aside name
    // finds nothing at the restart.
    calls.Rename(aside, destination);
    return copy_steps::Fail(Side::kDestination, moved.error());
  }
  return CopyOutcome::kReplacedInUse;
}

}  // namespace

namespace copy_steps {

CopyStatus InstallNewFile(InstallCalls& calls, const Path& newFile, const Path& destination) {
  auto moved = calls.MoveOver(newFile, destination);
  if (moved) return CopyOutcome::kInPlace;
  CopyStatus status = moved.error() == Error::kSharingViolation ? InstallOverInUse(calls, newFile, destination)
                                                                : Fail(Side::kDestination, moved.error());
  if (!status || *status != CopyOutcome::kAtRestart) {
    if (calls.Exists(newFile)) calls.Delete(newFile);
  }
  return status;
}

}  // namespace copy_steps

CopyStatus FileCopyEx(const Path& SouFileName, const Path& DestFileName) noexcept {
  return FileCopyEx(SouFileName, DestFileName, SystemInstallCalls());
}

CopyStatus FileCopyEx(const Path& SouFileName, const Path& DestFileName, InstallCalls& calls) noexcept {
  try {
    return copy_steps::CopyOnPlatform(SouFileName, DestFileName, calls);
  } catch (const std::bad_alloc&) {
    return copy_steps::Fail(Side::kSource, Error::kOther);
  }
}

Path AsideName(const Path& destination, unsigned long processId, unsigned n) {
  char digits[40];
  const int length = std::snprintf(digits, sizeof digits, "%lx-%x", processId, n);
  return destination + Path(kAsideInfix) + Path(digits, digits + length) + Path(kAsideSuffix);
}

void RemoveAsideFiles(const Path& destination, InstallCalls& calls) noexcept {
  try {
    for (const Path& file : calls.AsideFiles(destination)) {
      if (!IsAsideFileOf(file, destination)) continue;
      if (!calls.Delete(file)) calls.DeleteAtRestart(file);
    }
  } catch (const std::bad_alloc&) {
    // The files stay for the next repair.
  }
}

}  // namespace repair
