#pragma once
// FileCopyEx: the repair tool's only copy routine.
//
// When the destination already holds exactly the source's bytes, nothing is written.
// Otherwise the source's bytes go into a fileio::Replacement, a new temporary file in
// the destination's folder, which then replaces the destination in one step
// (MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH on Windows,
// rename on POSIX; a link in the destination's place is replaced itself). On
// failure the temporary file is removed and the destination is left as it was; no file
// stays open either way. The bytes pass through a buffer of bounded size, so memory
// does not grow with the file. Both paths go to the platform exactly as given, whatever
// mix of "\" and "/" they hold.
//
// A destination that a running program holds (a loaded library, which Windows refuses
// to replace or delete but lets be renamed) is renamed aside in its folder, as
// "<name>.~old-<process id>-<n>.tmp", the new file takes its name, and the renamed file
// is deleted at the next restart; when the move fails after the rename, the old file
// is renamed back. When even the rename is refused, the new file is left to replace
// the destination at the next restart. Either scheduling needs administrator rights;
// without them the copy fails as in use and the destination stays as it was. The
// destination always holds the old or the new complete file (it is absent only for
// the instant between the rename and the move).

#include <expected>
#include <vector>

#include "fileio/file_io.h"

namespace repair {

// Which of the two files a copy failed on, and why.
struct CopyFailure {
  enum class Side { kSource, kDestination };
  Side side;
  fileio::Error error;

  friend bool operator==(const CopyFailure&, const CopyFailure&) = default;
};

// How a completed copy put the component in place.
enum class CopyOutcome {
  kInPlace,        // the destination holds the source's bytes (written now, or already)
  kReplacedInUse,  // it does; the running programs keep the old file, renamed aside
  kAtRestart,      // the new file replaces the destination at the next restart
};

using CopyStatus = std::expected<CopyOutcome, CopyFailure>;

// The file-system calls that put a new file in the destination's place, so that the
// tests can answer for the platform. Paths as FileCopyEx takes them.
class InstallCalls {
 public:
  virtual ~InstallCalls() = default;
  virtual bool Exists(const fileio::Path& path) = 0;
  // Renames `from` to `to`, which does not exist.
  virtual fileio::Status Rename(const fileio::Path& from, const fileio::Path& to) = 0;
  // Moves `from` over `to` in one step, the data written through. A destination that a
  // running program holds fails with kSharingViolation.
  virtual fileio::Status MoveOver(const fileio::Path& from, const fileio::Path& to) = 0;
  virtual fileio::Status Delete(const fileio::Path& path) = 0;
  // For the next restart (MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT): deleting
  // `path`; `from` replacing `to`. They fail without administrator rights.
  virtual fileio::Status DeleteAtRestart(const fileio::Path& path) = 0;
  virtual fileio::Status ReplaceAtRestart(const fileio::Path& from, const fileio::Path& to) = 0;
  // The files beside `destination` whose names match "<its name>.~old-*.tmp".
  virtual std::vector<fileio::Path> AsideFiles(const fileio::Path& destination) = 0;
  virtual unsigned long ProcessId() = 0;
};

// The platform's own calls.
InstallCalls& SystemInstallCalls();

[[nodiscard]] CopyStatus FileCopyEx(const fileio::Path& SouFileName, const fileio::Path& DestFileName) noexcept;
[[nodiscard]] CopyStatus FileCopyEx(const fileio::Path& SouFileName, const fileio::Path& DestFileName,
                                    InstallCalls& calls) noexcept;

// The name the copy renames a destination in use to: "<destination>.~old-<pid>-<n>.tmp",
// pid and n in lowercase hexadecimal.
fileio::Path AsideName(const fileio::Path& destination, unsigned long processId, unsigned n);

// Deletes the files that earlier copies renamed aside from `destination`; one that a
// program still holds is scheduled for deletion at the next restart instead.
void RemoveAsideFiles(const fileio::Path& destination, InstallCalls& calls = SystemInstallCalls()) noexcept;

// Registers `file` at the next log-on: a RunOnce entry of the machine that starts the
// system's regsvr32 /s by its full path with the file's full path, for a component
// that is replaced at the restart. False when it cannot be recorded (no rights, or a
// platform without such entries).
[[nodiscard]] bool RegisterAtNextLogOn(const fileio::Path& file) noexcept;

}  // namespace repair
